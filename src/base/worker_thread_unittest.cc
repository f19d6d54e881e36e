#include "base/worker_thread.h"

#include <windows.h>

#include <atomic>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "base/scoped_handle.h"
#include "gtest/gtest.h"

namespace base {
namespace {

constexpr DWORD kLongWaitMs = 10000;

TEST(WorkerThreadTest, StopEndsAThreadThatWatchesItsEvent) {
  WorkerThread worker;
  ASSERT_NE(worker.stop_event(), nullptr);
  EXPECT_TRUE(worker.Join(0));  // nothing started yet
  const HANDLE stop = worker.stop_event();
  ASSERT_TRUE(worker.Start([stop] { ::WaitForSingleObject(stop, INFINITE); }));
  EXPECT_FALSE(worker.Join(50));
  EXPECT_TRUE(worker.Stop(kLongWaitMs));
  EXPECT_TRUE(worker.StopRequested());
  worker.ClearStop();
  EXPECT_FALSE(worker.StopRequested());
}

// A thread that does not stop: the bounded join gives up, and it can be
// ended by force or left to finish with its own share of the state.
TEST(WorkerThreadTest, BoundedJoinThenTerminateOrLeaveRunning) {
  ScopedHandle release(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  const HANDLE release_event = release.Get();
  {
    WorkerThread worker;
    ASSERT_TRUE(worker.Start(
        [release_event] { ::WaitForSingleObject(release_event, INFINITE); }));
    const DWORD start = ::GetTickCount();
    EXPECT_FALSE(worker.Stop(100));
    EXPECT_LT(::GetTickCount() - start, 2000u);
    worker.Terminate();
    EXPECT_TRUE(worker.Join(kLongWaitMs));
  }

  // Left running: the owner goes first, the thread still finds the stop
  // event the owner set on its way out.
  auto seen = std::make_shared<std::atomic<DWORD>>(WAIT_FAILED);
  ScopedHandle done(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  const HANDLE done_event = done.Get();
  {
    WorkerThread worker;
    const HANDLE stop = worker.stop_event();
    ASSERT_TRUE(worker.Start([=] {
      ::WaitForSingleObject(release_event, INFINITE);
      *seen = ::WaitForSingleObject(stop, 0);
      ::SetEvent(done_event);
    }));
  }
  ::SetEvent(release_event);
  ASSERT_EQ(::WaitForSingleObject(done_event, kLongWaitMs),
            static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_EQ(seen->load(), static_cast<DWORD>(WAIT_OBJECT_0));
}

TEST(WorkerThreadTest, ExceptionsEndOnlyTheThread) {
  struct Case {
    void (*body)();
    std::optional<std::string> heard;  // nullopt: a non-standard exception
  };
  const Case kCases[] = {
      {[] { throw std::runtime_error("broken"); }, "broken"},
      {[] { throw 7; }, std::nullopt},
  };
  for (const Case& c : kCases) {
    WorkerThread worker;
    auto heard = std::make_shared<std::optional<std::string>>();
    auto called = std::make_shared<bool>(false);
    ASSERT_TRUE(worker.Start(c.body, [heard, called](const char* what) {
      *called = true;
      if (what) *heard = what;
    }));
    ASSERT_TRUE(worker.Join(kLongWaitMs));
    EXPECT_TRUE(*called);
    EXPECT_EQ(*heard, c.heard);
  }
}

}  // namespace
}  // namespace base
