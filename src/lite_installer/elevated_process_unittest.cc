#include "lite_installer/elevated_process.h"

#include <windows.h>

#include <string>

#include "base/file_util.h"
#include "base/monotonic_clock.h"
#include "base/process.h"
#include "base/scoped_handle.h"
#include "gtest/gtest.h"
#include "test/support/recording_logger.h"

namespace lite {
namespace {

std::wstring HelperPath() {
  return base::DirectoryPart(base::GetExecutablePath()) + L"\\exit_with.exe";
}

// exit_with.exe as a stand-in for the elevated copy. Without a console:
// under the emulator, Wine's headless console host of a terminated child
// was seen to outlive the test and hold its output open.
HANDLE StartCopy(int exit_code, DWORD sleep_ms) {
  const std::wstring command_line =
      L"\"" + HelperPath() + L"\" --exit-code=" + std::to_wstring(exit_code);
  ::SetEnvironmentVariableW(L"LITE_TEST_SLEEP_MS",
                            std::to_wstring(sleep_ms).c_str());
  STARTUPINFOW startup = {sizeof(startup)};
  PROCESS_INFORMATION info = {};
  std::wstring mutable_line = command_line;
  const BOOL created =
      ::CreateProcessW(nullptr, mutable_line.data(), nullptr, nullptr, FALSE,
                       DETACHED_PROCESS, nullptr, nullptr, &startup, &info);
  ::SetEnvironmentVariableW(L"LITE_TEST_SLEEP_MS", nullptr);
  if (!created) return nullptr;
  ::CloseHandle(info.hThread);
  return info.hProcess;
}

class ShortWaitProcess : public ElevatedProcess {
 public:
  ShortWaitProcess() : ElevatedProcess(300) {}
};

// The copy's view of the events: opened by name with SYNCHRONIZE.
struct CopySide {
  base::ScopedHandle start{
      ::OpenEventA(SYNCHRONIZE, FALSE, kElevatedStartEventName)};
  base::ScopedHandle abort{
      ::OpenEventA(SYNCHRONIZE, FALSE, kElevatedAbortEventName)};
  bool Signalled(const base::ScopedHandle& event) {
    return ::WaitForSingleObject(event.Get(), 0) == WAIT_OBJECT_0;
  }
};

TEST(ElevatedProcessTest, TheCopysExitCodeDecides) {
  const struct {
    int exit_code;
    bool success;
  } kCases[] = {{0, true}, {-1, false}, {5, false}};
  for (const auto& c : kCases) {
    base::ScopedHandle stop(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    auto elevated = std::make_unique<ElevatedProcess>();
    ASSERT_TRUE(elevated->events_valid());
    CopySide copy;
    ASSERT_TRUE(copy.start.IsValid() && copy.abort.IsValid());
    HANDLE process = StartCopy(c.exit_code, 0);
    ASSERT_NE(process, nullptr);
    elevated->Init(process, nullptr);
    EXPECT_EQ(elevated->RunModule(stop.Get()), c.success) << c.exit_code;
    EXPECT_EQ(elevated->exit_code(), c.exit_code);
    EXPECT_TRUE(elevated->signalled());
    // Auto-reset: the start event was set once; nobody dismissed the copy.
    EXPECT_TRUE(copy.Signalled(copy.start));
    EXPECT_FALSE(copy.Signalled(copy.start));
    elevated.reset();
    EXPECT_FALSE(copy.Signalled(copy.abort));
  }
}

TEST(ElevatedProcessTest, StopEventEndsTheWait) {
  RecordingLogger* logger = RecordingLogger::Install();
  base::ScopedHandle stop(::CreateEventW(nullptr, TRUE, TRUE, nullptr));
  ShortWaitProcess elevated;
  HANDLE process = StartCopy(0, 60000);
  ASSERT_NE(process, nullptr);
  elevated.Init(process, nullptr);
  EXPECT_FALSE(elevated.RunModule(stop.Get()));
  EXPECT_EQ(elevated.exit_code(), -1);
  EXPECT_TRUE(
      logger->Has("The elevated installer was terminated due to stop event."));
  // The copy still runs: the grace period ends, it is terminated.
  elevated.EnsureProcessFinished();
  EXPECT_TRUE(elevated.hung());
  EXPECT_TRUE(
      logger->Has("The elevated installer hangs and must be forcibly "
                  "terminated."));
}

TEST(ElevatedProcessTest, ACopyNeverReleasedIsDismissed) {
  RecordingLogger* logger = RecordingLogger::Install();
  auto elevated = std::make_unique<ShortWaitProcess>();
  CopySide copy;
  HANDLE process = StartCopy(0, 60000);
  ASSERT_NE(process, nullptr);
  HANDLE duplicate = nullptr;
  ASSERT_TRUE(::DuplicateHandle(::GetCurrentProcess(), process,
                                ::GetCurrentProcess(), &duplicate, 0, FALSE,
                                DUPLICATE_SAME_ACCESS));
  base::ScopedHandle watched(duplicate);
  HWND anchor = ::CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"", WS_POPUP, 0,
                                  0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  elevated->Init(process, anchor);
  const int64_t start = base::MonotonicMicroseconds();
  // Destroyed without RunModule: the abort event, then the grace period.
  elevated.reset();
  const int64_t waited_ms = (base::MonotonicMicroseconds() - start) / 1000;
  EXPECT_GE(waited_ms, 250);
  EXPECT_LT(waited_ms, 30000);
  EXPECT_FALSE(::IsWindow(anchor));
  EXPECT_TRUE(copy.Signalled(copy.abort));
  EXPECT_FALSE(copy.Signalled(copy.start));
  // The copy (which ignores the event) was terminated.
  EXPECT_EQ(::WaitForSingleObject(watched.Get(), 10000), WAIT_OBJECT_0);
  EXPECT_TRUE(
      logger->Has("The elevated installer hangs and must be forcibly "
                  "terminated."));
}

}  // namespace
}  // namespace lite
