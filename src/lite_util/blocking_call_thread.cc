#include "lite_util/blocking_call_thread.h"

#include <atomic>
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
  std::atomic<bool> quit{false};
};

BlockingCallThread::BlockingCallThread()
    : shared_(std::make_shared<Shared>()) {}

BlockingCallThread::~BlockingCallThread() {
  if (!thread_.IsValid()) return;
  shared_->quit = true;
  ::SetEvent(shared_->work.Get());
  if (given_up_) return;  // it ends when the call returns
  if (::WaitForSingleObject(thread_.Get(), kIdleJoinMs) != WAIT_OBJECT_0) {
    LOG(ERROR) << "The call thread did not end in " << kIdleJoinMs << " ms";
  }
}

bool BlockingCallThread::Start() {
  if (!shared_->work.IsValid() || !shared_->done.IsValid()) {
    PLOG(ERROR) << "Failed to create the call thread's events";
    return false;
  }
  auto* param = new std::shared_ptr<Shared>(shared_);
  thread_.Reset(::CreateThread(nullptr, 0, &BlockingCallThread::ThreadMain,
                               param, 0, nullptr));
  if (!thread_.IsValid()) {
    PLOG(ERROR) << "Failed to create the call thread";
    delete param;
    return false;
  }
  return true;
}

DWORD WINAPI BlockingCallThread::ThreadMain(void* param) {
  std::shared_ptr<Shared> shared =
      std::move(*static_cast<std::shared_ptr<Shared>*>(param));
  delete static_cast<std::shared_ptr<Shared>*>(param);
  // Waits for work as long as the owner lives; the owner ends the wait.
  while (::WaitForSingleObject(shared->work.Get(), INFINITE) == WAIT_OBJECT_0 &&
         !shared->quit) {
    try {
      shared->call();
    } catch (const std::exception& e) {
      LOG(ERROR) << "A blocking call raised: " << e.what();
    } catch (...) {
      LOG(ERROR) << "A blocking call raised an exception";
    }
    shared->call = nullptr;
    if (shared->quit) break;  // given up meanwhile
    ::SetEvent(shared->done.Get());
  }
  return 0;
}

BlockingCallThread::Outcome BlockingCallThread::Run(std::function<void()> call,
                                                    DWORD timeout_ms,
                                                    HANDLE cancel_event) {
  if (given_up_ || (!thread_.IsValid() && !Start())) return Outcome::kFailed;
  shared_->call = std::move(call);
  ::SetEvent(shared_->work.Get());
  HANDLE handles[] = {shared_->done.Get(), cancel_event};
  DWORD count = cancel_event ? 2 : 1;
  DWORD waited = ::WaitForMultipleObjects(count, handles, FALSE, timeout_ms);
  if (waited == WAIT_OBJECT_0) return Outcome::kDone;
  given_up_ = true;
  shared_->quit = true;
  return waited == WAIT_OBJECT_0 + 1 ? Outcome::kCancelled : Outcome::kTimedOut;
}

}  // namespace lite
