#include "lite_util/blocking_call_thread.h"

#include <windows.h>

#include <atomic>
#include <memory>
#include <stdexcept>

#include "base/scoped_handle.h"
#include "gtest/gtest.h"

namespace lite {
namespace {

using Outcome = BlockingCallThread::Outcome;

base::ScopedHandle NewEvent(bool manual_reset) {
  return base::ScopedHandle(
      ::CreateEventW(nullptr, manual_reset, FALSE, nullptr));
}

TEST(BlockingCallThreadTest, RunsCallsOneAfterAnother) {
  BlockingCallThread calls;
  int runs = 0;
  EXPECT_EQ(calls.Run([&] { ++runs; }, 5000, nullptr), Outcome::kDone);
  EXPECT_EQ(calls.Run([&] { ++runs; }, 5000, nullptr), Outcome::kDone);
  // An exception stays on the call thread.
  EXPECT_EQ(calls.Run([] { throw std::runtime_error("x"); }, 5000, nullptr),
            Outcome::kDone);
  EXPECT_EQ(runs, 2);
  EXPECT_TRUE(calls.usable());
}

// A call that blocks until `release` is set, then marks `finished`; it owns
// what it touches, as the downloader's calls do.
struct Blocker {
  base::ScopedHandle release = NewEvent(true);
  std::atomic<bool> finished{false};
};

TEST(BlockingCallThreadTest, GivesUpAtTheDeadlineOrOnCancel) {
  for (bool cancel : {false, true}) {
    SCOPED_TRACE(cancel ? "cancelled" : "timed out");
    auto blocker = std::make_shared<Blocker>();
    base::ScopedHandle cancel_event = NewEvent(true);
    {
      BlockingCallThread calls;
      const DWORD start = ::GetTickCount();
      Outcome outcome = calls.Run(
          [blocker, cancel, event = cancel_event.Get()] {
            // Cancelled while the call blocks.
            if (cancel) ::SetEvent(event);
            ::WaitForSingleObject(blocker->release.Get(), 10000);
            blocker->finished = true;
          },
          cancel ? 10000 : 200, cancel_event.Get());
      EXPECT_EQ(outcome, cancel ? Outcome::kCancelled : Outcome::kTimedOut);
      EXPECT_LT(::GetTickCount() - start, 2000u);
      EXPECT_FALSE(calls.usable());
      EXPECT_EQ(calls.Run([] {}, 100, nullptr), Outcome::kFailed);
      // Destroyed while its call still blocks: returns at once.
    }
    EXPECT_FALSE(blocker->finished);
    ::SetEvent(blocker->release.Get());
    // The given-up call ends by itself and releases what it holds.
    for (int i = 0; i < 100 && blocker.use_count() > 1; ++i) ::Sleep(20);
    EXPECT_TRUE(blocker->finished);
    EXPECT_EQ(blocker.use_count(), 1);
  }
}

}  // namespace
}  // namespace lite
