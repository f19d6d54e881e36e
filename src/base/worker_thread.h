// A thread of its own with a manual-reset stop event and a bounded join.
//
// The stop event exists from construction (a caller may hand it out before
// any thread runs) and lives as long as this object or a thread it started,
// whichever goes last; the function a thread runs is the thread's own. So a
// thread that did not stop in time can be left to end by itself without
// touching a destroyed owner, provided its function shares (owns) what it
// uses.
#ifndef BASE_WORKER_THREAD_H_
#define BASE_WORKER_THREAD_H_

#include <windows.h>

#include <functional>
#include <memory>

#include "base/scoped_handle.h"

namespace base {

class WorkerThread {
 public:
  // Receives what() of an exception that left the thread's function, or
  // nullptr for one that is no std::exception.
  using ExceptionHandler = std::function<void(const char* what)>;

  WorkerThread();
  // Sets the stop event and does not wait: stop and join first, with the
  // bound that fits.
  ~WorkerThread();
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  // Null when the event could not be created.
  HANDLE stop_event() const;

  // Runs `function` on a new thread. An exception that leaves it ends the
  // thread quietly after `on_exception` (optional) heard of it. Starting
  // again lets go of the thread started before (it runs on). False, with
  // the last error of the failing call, when no thread could be started.
  bool Start(std::function<void()> function,
             ExceptionHandler on_exception = nullptr);

  // A thread was started (it may have ended since).
  bool started() const { return thread_.IsValid(); }
  HANDLE thread_handle() const { return thread_.Get(); }

  void RequestStop() const;
  bool StopRequested() const;
  // Clears the stop event, for a new run.
  void ClearStop() const;

  // Waits up to `timeout_ms` for the thread to end without asking it to;
  // true when it has ended or none was started.
  bool Join(DWORD timeout_ms) const;
  // RequestStop, then Join.
  bool Stop(DWORD timeout_ms) const;

  // Ends a thread that did not stop in time. Whatever it held stays held.
  void Terminate() const;

 private:
  struct StopEvent;
  struct Run;
  static DWORD WINAPI ThreadMain(void* param);

  std::shared_ptr<StopEvent> stop_;
  ScopedHandle thread_;
};

}  // namespace base

#endif  // BASE_WORKER_THREAD_H_
