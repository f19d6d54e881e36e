// Runs blocking calls one at a time on a thread of its own, so that the
// caller can stop waiting for one: at a deadline, or as soon as a cancel
// event is set. WinINet under Wine finishes a blocked call only when the
// socket delivers or times out, even after its handle was closed; this is
// how a download still ends on time.
//
// A call that was given up keeps the thread until it returns by itself;
// the thread then ends and releases what the call holds. A call must
// therefore own (share) everything it touches, and the object cannot run
// another call once it gave one up.
#ifndef LITE_UTIL_BLOCKING_CALL_THREAD_H_
#define LITE_UTIL_BLOCKING_CALL_THREAD_H_

#include <windows.h>

#include <functional>
#include <memory>

#include "base/worker_thread.h"

namespace lite {

class BlockingCallThread {
 public:
  enum class Outcome {
    kDone,       // the call returned
    kTimedOut,   // the deadline passed first; the call was given up
    kCancelled,  // the cancel event was set first; the call was given up
    kFailed,     // no thread (it could not be started, or a call was given
                 // up before): the call did not run
  };

  BlockingCallThread();
  // Ends an idle thread, waiting for it at most a second; a thread still
  // busy with a given-up call is left to end by itself.
  ~BlockingCallThread();
  BlockingCallThread(const BlockingCallThread&) = delete;
  BlockingCallThread& operator=(const BlockingCallThread&) = delete;

  // Runs `call` on the thread and waits for it up to `timeout_ms`, or until
  // `cancel_event` (optional) is set. An exception leaving `call` is caught
  // and logged on the thread.
  Outcome Run(std::function<void()> call, DWORD timeout_ms,
              HANDLE cancel_event);

  // False once a call was given up.
  bool usable() const { return !given_up_; }

 private:
  struct Shared;
  static void Work(const std::shared_ptr<Shared>& shared, HANDLE stop_event);
  bool Start();

  std::shared_ptr<Shared> shared_;
  // Its stop event ends the thread: set when a call is given up, or by the
  // destructor.
  base::WorkerThread thread_;
  bool given_up_ = false;
};

}  // namespace lite

#endif  // LITE_UTIL_BLOCKING_CALL_THREAD_H_
