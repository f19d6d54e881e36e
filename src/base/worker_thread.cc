#include "base/worker_thread.h"

#include <exception>
#include <utility>

namespace base {

struct WorkerThread::StopEvent {
  ScopedHandle event{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

// What one started thread owns.
struct WorkerThread::Run {
  std::shared_ptr<StopEvent> stop;
  std::function<void()> function;
  ExceptionHandler on_exception;
};

WorkerThread::WorkerThread() : stop_(std::make_shared<StopEvent>()) {}

WorkerThread::~WorkerThread() { RequestStop(); }

HANDLE WorkerThread::stop_event() const { return stop_->event.Get(); }

bool WorkerThread::Start(std::function<void()> function,
                         ExceptionHandler on_exception) {
  auto* run = new Run{stop_, std::move(function), std::move(on_exception)};
  HANDLE thread =
      ::CreateThread(nullptr, 0, &WorkerThread::ThreadMain, run, 0, nullptr);
  if (!thread) {
    const DWORD error = ::GetLastError();
    delete run;
    ::SetLastError(error);
    return false;
  }
  thread_.Reset(thread);
  return true;
}

DWORD WINAPI WorkerThread::ThreadMain(void* param) {
  std::unique_ptr<Run> run(static_cast<Run*>(param));
  // Nothing may leave a thread's function: the process would end.
  try {
    run->function();
  } catch (const std::exception& e) {
    try {
      if (run->on_exception) run->on_exception(e.what());
    } catch (...) {
    }
  } catch (...) {
    try {
      if (run->on_exception) run->on_exception(nullptr);
    } catch (...) {
    }
  }
  return 0;
}

void WorkerThread::RequestStop() const {
  if (stop_->event.IsValid()) ::SetEvent(stop_->event.Get());
}

bool WorkerThread::StopRequested() const {
  return stop_->event.IsValid() &&
         ::WaitForSingleObject(stop_->event.Get(), 0) == WAIT_OBJECT_0;
}

void WorkerThread::ClearStop() const {
  if (stop_->event.IsValid()) ::ResetEvent(stop_->event.Get());
}

bool WorkerThread::Join(DWORD timeout_ms) const {
  return !thread_.IsValid() ||
         ::WaitForSingleObject(thread_.Get(), timeout_ms) == WAIT_OBJECT_0;
}

bool WorkerThread::Stop(DWORD timeout_ms) const {
  RequestStop();
  return Join(timeout_ms);
}

void WorkerThread::Terminate() const {
  if (thread_.IsValid()) ::TerminateThread(thread_.Get(), 0);
}

}  // namespace base
