#include "lite_installer/installer_command_line.h"

#include <windows.h>

#include <shellapi.h>

#include <string>
#include <thread>
#include <vector>

#include "gtest/gtest.h"

namespace lite {
namespace {

struct ParseCase {
  const wchar_t* command_line;
  const wchar_t* program;
  // Expected switches as "name=value" in map order, joined by '|'.
  const char* switches;
};

std::string DescribeSwitches(const InstallerCommandLine& command_line) {
  std::string result;
  for (const auto& [name, value] : command_line.switches()) {
    if (!result.empty()) result += '|';
    result += name + '=' + std::string(value.begin(), value.end());
  }
  return result;
}

TEST(InstallerCommandLineTest, ParsesTable) {
  const ParseCase kCases[] = {
      {L"", L"", ""},
      {L"   \t\r\n ", L"", ""},
      {L"\u3000 \u00A0", L"", ""},
      {L"a.exe", L"a.exe", ""},
      {L"  \"C:\\a b\\s.exe\"  ", L"C:\\a b\\s.exe", ""},
      {L"a.exe /Silent", L"a.exe", "silent="},
      {L"a.exe -silent", L"a.exe", "silent="},
      {L"a.exe --SILENT", L"a.exe", "silent="},
      {L"a.exe --brand-name=a=b", L"a.exe", "brand-name=a=b"},
      {L"a.exe --x=1 --x=2", L"a.exe", "x=2"},
      {L"a.exe --X=1 /x=3", L"a.exe", "x=3"},
      {L"a.exe file.txt --a", L"a.exe", "a="},
      {L"a.exe --semi-silent", L"a.exe", "semi-silent=|silent=|uac-enabled="},
      {L"a.exe \"--path=C:\\dir with blank\\\\\"", L"a.exe",
       "path=C:\\dir with blank\\"},
      {L"a.exe --v=\"x\\\"y\"", L"a.exe", "v=x\"y"},
      {L"a.exe ---triple", L"a.exe", "-triple="},
      {L"a.exe --=value", L"a.exe", "=value"},
      {L"a.exe --empty=", L"a.exe", "empty="},
      {L"a.exe \"  --padded  \"", L"a.exe", "padded="},
      {L"a.exe \"\" -", L"a.exe", "="},
      {L"\"unterminated --x", L"unterminated --x", ""},
  };
  for (const ParseCase& c : kCases) {
    InstallerCommandLine command_line =
        InstallerCommandLine::FromString(c.command_line);
    SCOPED_TRACE(testing::Message()
                 << "command line: "
                 << std::string(c.command_line,
                                c.command_line + wcslen(c.command_line)));
    EXPECT_EQ(command_line.GetProgram(), c.program);
    EXPECT_EQ(DescribeSwitches(command_line), c.switches);
  }
}

TEST(InstallerCommandLineTest, LookupIsCaseInsensitiveAndAbsentIsEmpty) {
  InstallerCommandLine command_line =
      InstallerCommandLine::FromString(L"a.exe --Brand-Name=Xy");
  EXPECT_TRUE(command_line.HasSwitch("BRAND-NAME"));
  EXPECT_EQ(command_line.GetSwitchValue("brand-name"), L"Xy");
  EXPECT_EQ(command_line.GetSwitchValue("absent"), L"");
  EXPECT_FALSE(command_line.HasSwitch("absent"));
}

TEST(InstallerCommandLineTest, NarrowsAndWidensByBytes) {
  InstallerCommandLine command_line;
  command_line.AppendSwitchValue("w", L"\u0141x");  // low byte 0x41 'A'
  EXPECT_EQ(command_line.GetSwitchValueASCII("w"), "Ax");
  command_line.AppendSwitchASCII("n", "\xE9");
  EXPECT_EQ(command_line.GetSwitchValue("n"), std::wstring(1, L'\xFFE9'));
}

TEST(InstallerCommandLineTest, SettersNormaliseNames) {
  InstallerCommandLine command_line;
  command_line.AppendSwitch("--Verbose-Logging");
  command_line.AppendSwitchASCII("/Brand-Name", "x");
  command_line.AppendSwitchValue("-Progress-Window", L"1");
  EXPECT_EQ(DescribeSwitches(command_line),
            "brand-name=x|progress-window=1|verbose-logging=");
  command_line.SetOrRemoveSwitch(false, "--VERBOSE-LOGGING");
  command_line.SetOrRemoveSwitch(true, "send-statistics");
  EXPECT_EQ(DescribeSwitches(command_line),
            "brand-name=x|progress-window=1|send-statistics=");
}

TEST(InstallerCommandLineTest, StringListsSwitchesAlphabeticallyAndQuotes) {
  InstallerCommandLine command_line;
  command_line.SetProgram(L"C:\\a b\\s.exe");
  command_line.AppendSwitch("verbose-logging");
  command_line.AppendSwitchASCII("brand-name", "x");
  EXPECT_EQ(command_line.GetCommandLineString(),
            L"\"C:\\a b\\s.exe\" --brand-name=x --verbose-logging");

  InstallerCommandLine empty_program;
  empty_program.AppendSwitch("run-as-admin");
  EXPECT_EQ(empty_program.GetCommandLineString(), L" --run-as-admin");
}

TEST(InstallerCommandLineTest, QuotingTable) {
  const struct {
    const wchar_t* in;
    const wchar_t* out;
  } kCases[] = {
      {L"", L""},
      {L"plain", L"plain"},
      {L"a b", L"\"a b\""},
      {L"tab\there", L"\"tab\there\""},
      {L"C:\\dir\\", L"\"C:\\dir\\\\\""},
      {L"C:\\a\\b", L"\"C:\\a\\b\""},
      {L"say \"hi\"", L"\"say \\\"hi\\\"\""},
      {L"a\\\\\"b", L"\"a\\\\\\\\\\\"b\""},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(QuoteForCommandLine(c.in), c.out);
  }
}

// Whatever the installer writes, CommandLineToArgvW must read back.
TEST(InstallerCommandLineTest, WrittenStringParsesBackToTheSameSwitches) {
  InstallerCommandLine original;
  original.SetProgram(L"C:\\Program Files\\x\\setup.exe");
  original.AppendSwitchValue("dir", L"C:\\with blank\\");
  original.AppendSwitchValue("quote", L"a\"b\\\"c");
  original.AppendSwitchValue("tab", L"a\tb");
  original.AppendSwitchValue("backslashes", L"\\\\server\\share\\");
  original.AppendSwitchValue("plain", L"v");
  original.AppendSwitch("flag");
  InstallerCommandLine parsed =
      InstallerCommandLine::FromString(original.GetCommandLineString());
  EXPECT_EQ(parsed.GetProgram(), original.GetProgram());
  EXPECT_EQ(parsed.switches(), original.switches());
}

TEST(InstallerCommandLineTest, ForCurrentProcessIsCreatedOnceAcrossThreads) {
  std::vector<const InstallerCommandLine*> seen(8, nullptr);
  std::vector<std::thread> threads;
  for (size_t i = 0; i < seen.size(); ++i) {
    threads.emplace_back(
        [&seen, i] { seen[i] = &InstallerCommandLine::ForCurrentProcess(); });
  }
  for (std::thread& thread : threads) thread.join();
  for (const InstallerCommandLine* instance : seen) {
    EXPECT_EQ(instance, seen[0]);
  }
  EXPECT_FALSE(seen[0]->GetProgram().empty());
}

}  // namespace
}  // namespace lite
