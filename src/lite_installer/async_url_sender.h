// Sends GET requests from a worker thread, in order, without reading the
// answers.
#ifndef LITE_INSTALLER_ASYNC_URL_SENDER_H_
#define LITE_INSTALLER_ASYNC_URL_SENDER_H_

#include <windows.h>

#include <deque>
#include <mutex>
#include <string>

namespace lite {

class AsyncUrlSender {
 public:
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
  bool InitializeThread();
  static DWORD WINAPI ThreadMain(void* self);
  void Run();

  std::mutex mutex_;
  std::deque<std::string> queue_;
  bool stop_ = false;
  bool busy_ = false;  // a request is being sent
  HANDLE wake_event_;
  HANDLE thread_ = nullptr;
};

}  // namespace lite

#endif  // LITE_INSTALLER_ASYNC_URL_SENDER_H_
