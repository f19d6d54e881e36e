#include "lite_util/blocking_call_thread.h"

#include <exception>
#include <utility>

#include "lite_util/logging/log_message.h"

namespace lite {
namespace {

constexpr DWORD kIdleJoinMs = 1000;

}  // namespace

struct BlockingCallThread::Shared {
  base::ScopedHandle work{::CreateEventW(nullptr, FALSE, FALSE, nullptr)};
  base::ScopedHandle done{::CreateEventW(nullptr, FALSE, FALSE, nullptr)};
  std::function<void()> call;
};

BlockingCallThread::BlockingCallThread()
    : shared_(std::make_shared<Shared>()) {}

BlockingCallThread::~BlockingCallThread() {
  if (!thread_.started()) return;
  thread_.RequestStop();
  if (given_up_) return;  // it ends when the call returns
  if (!thread_.Join(kIdleJoinMs)) {
    LOG(ERROR) << "The call thread did not end in " << kIdleJoinMs << " ms";
  }
}

bool BlockingCallThread::Start() {
  if (!shared_->work.IsValid() || !shared_->done.IsValid() ||
      !thread_.stop_event()) {
    PLOG(ERROR) << "Failed to create the call thread's events";
    return false;
  }
  if (!thread_.Start([shared = shared_, stop = thread_.stop_event()] {
        Work(shared, stop);
      })) {
    PLOG(ERROR) << "Failed to create the call thread";
    return false;
  }
  return true;
}

void BlockingCallThread::Work(const std::shared_ptr<Shared>& shared,
                              HANDLE stop_event) {
  // Waits for work as long as the owner lives; the owner ends the wait.
  const HANDLE events[] = {stop_event, shared->work.Get()};
  while (::WaitForMultipleObjects(2, events, FALSE, INFINITE) ==
         WAIT_OBJECT_0 + 1) {
    try {
      shared->call();
    } catch (const std::exception& e) {
      LOG(ERROR) << "A blocking call raised: " << e.what();
    } catch (...) {
      LOG(ERROR) << "A blocking call raised an exception";
    }
    shared->call = nullptr;
    // Given up meanwhile.
    if (::WaitForSingleObject(stop_event, 0) == WAIT_OBJECT_0) break;
    ::SetEvent(shared->done.Get());
  }
}

BlockingCallThread::Outcome BlockingCallThread::Run(std::function<void()> call,
                                                    DWORD timeout_ms,
                                                    HANDLE cancel_event) {
  if (given_up_ || (!thread_.started() && !Start())) return Outcome::kFailed;
  shared_->call = std::move(call);
  ::SetEvent(shared_->work.Get());
  HANDLE handles[] = {shared_->done.Get(), cancel_event};
  DWORD count = cancel_event ? 2 : 1;
  DWORD waited = ::WaitForMultipleObjects(count, handles, FALSE, timeout_ms);
  if (waited == WAIT_OBJECT_0) return Outcome::kDone;
  given_up_ = true;
  thread_.RequestStop();
  return waited == WAIT_OBJECT_0 + 1 ? Outcome::kCancelled : Outcome::kTimedOut;
}

}  // namespace lite
