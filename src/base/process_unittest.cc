#include "base/process.h"

#include <windows.h>

#include <string>

#include "base/file_util.h"
#include "gtest/gtest.h"

namespace base {
namespace {

constexpr DWORD kLongWaitMs = 30000;

// exit_with.exe, built beside this test.
std::wstring HelperCommandLine(const std::wstring& arguments) {
  return L"\"" + DirectoryPart(GetExecutablePath()) + L"\\exit_with.exe\" " +
         arguments;
}

TEST(ProcessTest, RunsAndReadsTheFullExitCode) {
  const Process process =
      Process::Launch(HelperCommandLine(L"--exit-code=-200"));
  ASSERT_TRUE(process.IsValid()) << ::GetLastError();
  EXPECT_NE(process.id(), 0u);
  DWORD code = 0;
  ASSERT_EQ(process.WaitForExit(kLongWaitMs, &code),
            Process::WaitResult::kExited);
  EXPECT_EQ(static_cast<int32_t>(code), -200);
}

TEST(ProcessTest, AnOverrunningChildTimesOutAndCanBeEnded) {
  ::SetEnvironmentVariableW(L"LITE_TEST_SLEEP_MS", L"60000");
  const Process process = Process::Launch(HelperCommandLine(L""));
  ::SetEnvironmentVariableW(L"LITE_TEST_SLEEP_MS", nullptr);
  ASSERT_TRUE(process.IsValid()) << ::GetLastError();
  DWORD code = 1234;
  EXPECT_EQ(process.WaitForExit(100, &code), Process::WaitResult::kTimedOut);
  EXPECT_EQ(code, 1234u);  // untouched
  EXPECT_TRUE(process.Terminate(22));
  ASSERT_EQ(process.WaitForExit(kLongWaitMs, &code),
            Process::WaitResult::kExited);
  EXPECT_EQ(code, 22u);
}

TEST(ProcessTest, AMissingProgramKeepsTheSystemError) {
  LaunchOptions options;
  const std::wstring missing =
      DirectoryPart(GetExecutablePath()) + L"\\no_such_program.exe";
  options.application = missing.c_str();
  const Process process = Process::Launch(L"\"" + missing + L"\"", options);
  EXPECT_FALSE(process.IsValid());
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

}  // namespace
}  // namespace base
