#include "lite_installer/delayed_params.h"

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/file_util.h"
#include "base/process.h"
#include "gtest/gtest.h"
#include "test/support/recording_logger.h"

namespace lite {
namespace {

void ClearSharedBlock() {
  std::memset(&SharedDelayedParamsBlock(), 0, sizeof(DelayedParamsBlock));
}

const uint8_t* BytesOf(const DelayedParamsBlock& block) {
  return reinterpret_cast<const uint8_t*>(&block);
}

// The UTF-16 text stored at `offset`, up to its zero.
std::wstring TextAt(const DelayedParamsBlock& block, size_t offset) {
  std::wstring text;
  for (const uint8_t* p = BytesOf(block) + offset; p[0] || p[1]; p += 2) {
    text.push_back(static_cast<wchar_t>(p[0] | (p[1] << 8)));
  }
  return text;
}

// Values with every field distinct, shared by the parent and child tests.
DelayedParams SampleValues() {
  DelayedParams values;
  values.browser_arc_path = L"C:\\Temp\\zb12.tmp";
  values.clids_file_path = L"C:\\Temp\\clids.xml";
  values.clids_searchband_file_path = L"C:\\Temp\\clids sb.xml";
  values.zarvex_website_icon_file_path = L"C:\\no such dir\\icon.ico";
  values.installer_data_path = L"C:\\Temp\\installerdata";
  values.brand_package_path = L"C:\\Temp\\brand";
  values.partner_package_path = L"C:\\Temp\\partner";
  values.partner_package_override_path = L"C:\\Temp\\override";
  values.download_time = L"42";
  values.install_start_time = L"-1234567890123";
  values.send_statistics = true;
  values.make_default = false;
  values.create_vessa_shortcut = true;
  return values;
}

// What the elevated copy has prepared before the block is applied: the
// placeholder program and switches the block overrides.
InstallerCommandLine PreparedSetupCommandLine() {
  return InstallerCommandLine::FromString(
      L"fake_browser_arc --make-browser-default-after-import "
      L"--progress-window=77 --clids-file=old.xml");
}

// Paths with backslashes are quoted on the command line.
const wchar_t kSampleSetupCommandLine[] =
    L"\"C:\\Temp\\zb12.tmp\" --brand-package=\"C:\\Temp\\brand\" "
    L"--clids-file=\"C:\\Temp\\clids.xml\" "
    L"--clids-searchband-file=\"C:\\Temp\\clids sb.xml\" "
    L"--create-vessa-shortcut-in-taskbar --histogram-download-time=42 "
    L"--install-start-time-no-uac=-1234567890123 "
    L"--installerdata=\"C:\\Temp\\installerdata\" "
    L"--override-partner-package=\"C:\\Temp\\override\" "
    L"--partner-package=\"C:\\Temp\\partner\" --progress-window=77 "
    L"--send-statistics";

class DelayedParamsTest : public testing::Test {
 protected:
  void SetUp() override {
    ClearSharedBlock();
    logger_ = RecordingLogger::Install();
  }
  void TearDown() override {
    SetLogger(nullptr);
    ClearSharedBlock();
  }

  RecordingLogger* logger_ = nullptr;
};

TEST_F(DelayedParamsTest, BlockIsTheSharedSection) {
  // The block the program uses is the whole of the executable's section
  // "Shared", marked shared, readable and writable.
  auto* image = reinterpret_cast<const uint8_t*>(::GetModuleHandleW(nullptr));
  auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image);
  auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(image + dos->e_lfanew);
  const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
  const IMAGE_SECTION_HEADER* shared = nullptr;
  for (int i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
    if (std::memcmp(section->Name, "Shared\0\0", 8) == 0) shared = section;
  }
  ASSERT_NE(shared, nullptr);
  EXPECT_EQ(shared->Characteristics, 0xD0000040u);
  EXPECT_EQ(shared->Misc.VirtualSize, 0x10DCu);
  EXPECT_EQ(BytesOf(SharedDelayedParamsBlock()),
            image + shared->VirtualAddress);
}

TEST_F(DelayedParamsTest, FieldsLieAtTheirOffsets) {
  DelayedParams values = SampleValues();
  values.make_default = true;
  DelayedParamsBlock block = {};
  block.setup_failure_reason = kSetupFailureAlreadyInstalled;
  ASSERT_TRUE(FillDelayedParamsBlock(values, block));

  struct Text {
    size_t offset;
    const std::wstring* value;
  };
  const Text kTexts[] = {
      {0x0000, &values.browser_arc_path},
      {0x020A, &values.clids_file_path},
      {0x0414, &values.clids_searchband_file_path},
      {0x061E, &values.zarvex_website_icon_file_path},
      {0x0828, &values.installer_data_path},
      {0x0A32, &values.brand_package_path},
      {0x0C3C, &values.partner_package_path},
      {0x0E46, &values.partner_package_override_path},
      {0x1050, &values.download_time},
      {0x1092, &values.install_start_time},
  };
  for (const Text& text : kTexts) {
    EXPECT_EQ(TextAt(block, text.offset), *text.value) << text.offset;
  }
  const uint8_t* bytes = BytesOf(block);
  EXPECT_EQ(bytes[0x10D4], 1);  // send statistics
  EXPECT_EQ(bytes[0x10D5], 1);  // make default
  EXPECT_EQ(bytes[0x10D6], 1);  // voice assistant shortcut
  EXPECT_EQ(bytes[0x10D7], 0);
  // The failure reason is left as it was, little-endian at 0x10D8.
  const uint8_t kReason[] = {5, 0, 0, 0};
  EXPECT_EQ(std::memcmp(bytes + 0x10D8, kReason, 4), 0);

  values.send_statistics = false;
  ASSERT_TRUE(FillDelayedParamsBlock(values, block));
  EXPECT_EQ(bytes[0x10D4], 0);
}

TEST_F(DelayedParamsTest, LengthLimits) {
  struct Case {
    const char* field;
    std::wstring DelayedParams::*member;
    size_t length;
    bool fits;
  };
  const Case kCases[] = {
      {"browser_arc_path", &DelayedParams::browser_arc_path, 259, true},
      {"browser_arc_path", &DelayedParams::browser_arc_path, 260, true},
      {"browser_arc_path", &DelayedParams::browser_arc_path, 261, false},
      {"partner_package_override_path",
       &DelayedParams::partner_package_override_path, 260, true},
      {"partner_package_override_path",
       &DelayedParams::partner_package_override_path, 261, false},
      {"histogram_download_time", &DelayedParams::download_time, 32, true},
      {"histogram_download_time", &DelayedParams::download_time, 33, false},
      {"histogram_full_time", &DelayedParams::install_start_time, 32, true},
      {"histogram_full_time", &DelayedParams::install_start_time, 33, false},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string(c.field) + " " + std::to_string(c.length));
    ClearSharedBlock();
    logger_ = RecordingLogger::Install();
    DelayedParams values;
    values.*c.member = std::wstring(c.length, L'7');
    values.send_statistics = true;
    values.clids_file_path = L"C:\\\x0444.xml";  // logged as UTF-8

    EXPECT_EQ(WriteDelayedParams(values), c.fits);
    DelayedParams stored = ReadDelayedParamsBlock(SharedDelayedParamsBlock());
    if (c.fits) {
      EXPECT_EQ(stored.*c.member, values.*c.member);
      EXPECT_TRUE(logger_->Records().empty());
      continue;
    }
    // Nothing was written.
    EXPECT_TRUE(stored.clids_file_path.empty());
    EXPECT_FALSE(stored.send_statistics);
    std::vector<LogRecord> records = logger_->Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].severity, LOG_ERROR);
    EXPECT_STREQ(records[0].function, "WriteDelayedParams");
    // The long value under its own name, the others as given.
    auto text = [&](const char* name) {
      return c.field == std::string(name) ? std::string(c.length, '7')
                                          : std::string();
    };
    std::string expected =
        "Too large string length, browser_arc_path=" +
        text("browser_arc_path") +
        " clids_file_path=C:\\\xD1\x84.xml clids_searchband_file_path="
        " zarvex_website_icon_file_path= installer_data_path="
        " brand_package_path= partner_package_path="
        " partner_package_override_path=" +
        text("partner_package_override_path") +
        " histogram_download_time=" + text("histogram_download_time") +
        " histogram_full_time=" + text("histogram_full_time") +
        " send_statistics=1 make_default=0 create_vessa_shortcut=0";
    // The system error text follows after " - ".
    EXPECT_EQ(records[0].text.substr(0, expected.size()), expected);
    EXPECT_EQ(records[0].text.substr(expected.size(), 3), " - ");
  }
}

TEST_F(DelayedParamsTest, PathOf260CharactersReachesTheSetupWhole) {
  DelayedParams values;
  values.browser_arc_path = L"C:\\" + std::wstring(251, L'p') + L"\\a.tmp";
  ASSERT_EQ(values.browser_arc_path.size(), 260u);
  values.installer_data_path = L"C:\\" + std::wstring(257, L'd');
  ASSERT_TRUE(WriteDelayedParams(values));

  InstallerCommandLine setup = PreparedSetupCommandLine();
  ApplyDelayedParams(setup);
  EXPECT_EQ(setup.GetProgram(), values.browser_arc_path);
  EXPECT_EQ(setup.GetSwitchValue("installerdata"), values.installer_data_path);
  EXPECT_NE(setup.GetCommandLineString().find(L"\"" + values.browser_arc_path +
                                              L"\" "),
            std::wstring::npos);
}

TEST_F(DelayedParamsTest, RoundTripOverridesThePreparedCommandLine) {
  ASSERT_TRUE(WriteDelayedParams(SampleValues()));
  InstallerCommandLine setup = PreparedSetupCommandLine();
  ApplyDelayedParams(setup);
  // The icon file does not exist, so its switch is left out; the flags
  // replace what the prepared command line had.
  EXPECT_EQ(setup.GetCommandLineString(), kSampleSetupCommandLine);
}

TEST_F(DelayedParamsTest, EmptyBlockLeavesThePreparedCommandLine) {
  InstallerCommandLine setup = PreparedSetupCommandLine();
  ApplyDelayedParams(setup);
  // Only the flags act: false removes them.
  EXPECT_EQ(setup.GetCommandLineString(),
            L"fake_browser_arc --clids-file=old.xml --progress-window=77");
}

TEST_F(DelayedParamsTest, FullInstallerDoesNotPassTheDownloadTime) {
  DelayedParams values;
  values.download_time = L"9";
  InstallerCommandLine lite;
  ApplyDelayedParamsTo(values, /*full_installer_mode=*/false, lite);
  EXPECT_EQ(lite.GetSwitchValue("histogram-download-time"), L"9");
  InstallerCommandLine full;
  ApplyDelayedParamsTo(values, /*full_installer_mode=*/true, full);
  EXPECT_FALSE(full.HasSwitch("histogram-download-time"));
}

TEST_F(DelayedParamsTest, WebsiteIconOnlyWhenReadableAndNotEmpty) {
  std::wstring dir = base::CreateUniqueDirectory(base::GetTempDirectory());
  ASSERT_FALSE(dir.empty());
  const std::wstring icon = dir + L"\\icon.ico";
  const std::wstring empty = dir + L"\\empty.ico";
  ASSERT_TRUE(base::WriteBytesToFile(icon, std::string("\0\0\1\0", 4)));
  ASSERT_TRUE(base::WriteBytesToFile(empty, ""));
  struct Case {
    std::wstring path;
    bool passed;
  };
  const Case kCases[] = {
      {icon, true},
      {empty, false},
      {dir + L"\\missing.ico", false},
      {dir, false},  // a directory cannot be read as a file
  };
  for (const Case& c : kCases) {
    DelayedParams values;
    values.zarvex_website_icon_file_path = c.path;
    InstallerCommandLine setup;
    ApplyDelayedParamsTo(values, false, setup);
    EXPECT_EQ(setup.HasSwitch("zarvex-website-icon-file"), c.passed)
        << base::FileNamePart(c.path);
    if (c.passed) {
      EXPECT_EQ(setup.GetSwitchValue("zarvex-website-icon-file"), c.path);
    }
  }
  EXPECT_TRUE(base::DeleteDirectoryRecursive(dir));
}

TEST_F(DelayedParamsTest, FieldsWithoutTheirZeroStayInside) {
  // Whatever another process left in the block, reading stops at the end of
  // each field.
  DelayedParamsBlock block;
  std::memset(&block, 0x41, sizeof(block));
  DelayedParams values = ReadDelayedParamsBlock(block);
  EXPECT_EQ(values.browser_arc_path, std::wstring(261, L'\x4141'));
  EXPECT_EQ(values.partner_package_override_path, std::wstring(261, L'\x4141'));
  EXPECT_EQ(values.download_time, std::wstring(33, L'\x4141'));
  EXPECT_EQ(values.install_start_time, std::wstring(33, L'\x4141'));
  EXPECT_TRUE(values.send_statistics);  // any non-zero byte
  EXPECT_TRUE(values.make_default);
  EXPECT_TRUE(values.create_vessa_shortcut);
}

TEST_F(DelayedParamsTest, FailureReasonLivesInTheBlock) {
  EXPECT_EQ(GetSetupFailureReason(), kSetupFailureNone);
  SetSetupFailureReason(kSetupFailureMachineTypeMismatch);
  EXPECT_EQ(BytesOf(SharedDelayedParamsBlock())[0x10D8], 4);
  EXPECT_EQ(GetSetupFailureReason(), kSetupFailureMachineTypeMismatch);
  // Writing the parameters keeps a reason set before.
  ASSERT_TRUE(WriteDelayedParams(SampleValues()));
  EXPECT_EQ(GetSetupFailureReason(), kSetupFailureMachineTypeMismatch);
}

// The installer and its elevated copy are two processes of one executable
// file; so are this test and the child it starts. The child applies the
// block it finds and answers with a failure reason.
constexpr wchar_t kChildTest[] =
    L"DelayedParamsChildTest.DISABLED_AppliesParentBlockAndAnswers";

TEST_F(DelayedParamsTest, SecondProcessOfTheSameFileSharesTheBlock) {
  ASSERT_TRUE(WriteDelayedParams(SampleValues()));
  wchar_t exe[MAX_PATH] = {};
  ASSERT_NE(::GetModuleFileNameW(nullptr, exe, MAX_PATH), 0u);
  std::wstring command_line = L"\"" + std::wstring(exe) +
                              L"\" --gtest_also_run_disabled_tests "
                              L"--gtest_filter=" +
                              kChildTest;
  const base::Process process = base::Process::Launch(command_line);
  ASSERT_TRUE(process.IsValid()) << ::GetLastError();
  DWORD exit_code = 1;
  ASSERT_EQ(process.WaitForExit(120000, &exit_code),
            base::Process::WaitResult::kExited);
  EXPECT_EQ(exit_code, 0u) << "the child's checks failed";
  EXPECT_EQ(GetSetupFailureReason(), kSetupFailureAlreadyInstalled);
}

// Runs only as the child of the test above.
TEST(DelayedParamsChildTest, DISABLED_AppliesParentBlockAndAnswers) {
  InstallerCommandLine setup = PreparedSetupCommandLine();
  ApplyDelayedParams(setup);
  ASSERT_EQ(setup.GetCommandLineString(), kSampleSetupCommandLine);
  SetSetupFailureReason(kSetupFailureAlreadyInstalled);
}

}  // namespace
}  // namespace lite
