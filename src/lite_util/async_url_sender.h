// Sends GET requests from a worker thread, in order, without reading the
// answers.
#ifndef LITE_UTIL_ASYNC_URL_SENDER_H_
#define LITE_UTIL_ASYNC_URL_SENDER_H_

#include <windows.h>

#include <memory>
#include <string>

#include "base/worker_thread.h"

namespace lite {

class AsyncUrlSender {
 public:
  // The longest the destructor waits for a request in progress; a worker
  // still blocked on a host that does not answer then ends with the
  // process.
  static constexpr DWORD kStopWaitMs = 2000;

  AsyncUrlSender();
  // Stops the worker; URLs still queued are not sent.
  ~AsyncUrlSender();
  AsyncUrlSender(const AsyncUrlSender&) = delete;
  AsyncUrlSender& operator=(const AsyncUrlSender&) = delete;

  // Queues `url` (UTF-8), starting the worker on first use.
  bool Send(const std::string& url);

  // Waits up to `timeout_ms` until every queued URL has been sent; true when
  // the queue is empty and no request is in progress.
  bool WaitForIdle(DWORD timeout_ms);

  // Performs one request: sends it and closes it once it is sent.
  static void SendUrl(const std::string& url);

 private:
  // The queue and its state, shared with the worker so that a worker left
  // running never touches a destroyed sender.
  struct Queue;

  bool InitializeThread();
  static void Work(const std::shared_ptr<Queue>& queue, HANDLE stop_event);

  std::shared_ptr<Queue> queue_;
  base::WorkerThread thread_;
};

}  // namespace lite

#endif  // LITE_UTIL_ASYNC_URL_SENDER_H_
