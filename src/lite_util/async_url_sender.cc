#include "lite_util/async_url_sender.h"

#include <deque>
#include <mutex>
#include <utility>

#include "base/monotonic_clock.h"
#include "base/scoped_internet_handle.h"
#include "base/string_util.h"
#include "lite_util/exception_guard.h"
#include "lite_util/logging/log_message.h"

namespace lite {
namespace {

constexpr wchar_t kUserAgent[] = L"Zarvex.Browser installer";
constexpr DWORD kTimeoutMs = 2000;

// The request is closed as soon as it is sent: nobody reads the answer.
// From then on the request is this callback's to close.
void CALLBACK CloseWhenSent(HINTERNET handle, DWORD_PTR, DWORD status, LPVOID,
                            DWORD) {
  if (status == INTERNET_STATUS_REQUEST_SENT) {
    base::ScopedInternetHandle sent(handle);
  }
}

}  // namespace

struct AsyncUrlSender::Queue {
  std::mutex mutex;
  std::deque<std::string> urls;
  bool busy = false;  // a request is being sent
  base::ScopedHandle wake_event{::CreateEventW(nullptr, FALSE, FALSE, nullptr)};
};

AsyncUrlSender::AsyncUrlSender() : queue_(std::make_shared<Queue>()) {}

AsyncUrlSender::~AsyncUrlSender() {
  // The worker sees the stop event before it takes the next URL.
  if (thread_.started() && !thread_.Stop(kStopWaitMs)) {
    LOG(ERROR) << "A statistics request did not end in " << kStopWaitMs
               << " ms; it ends with the process";
  }
}

bool AsyncUrlSender::InitializeThread() {
  if (thread_.started()) return true;
  if (queue_->wake_event.IsValid() && thread_.stop_event()) {
    thread_.Start(
        [queue = queue_, stop = thread_.stop_event()] { Work(queue, stop); });
  }
  if (!thread_.started()) {
    PLOG(ERROR) << "Failed to create thread for async http requests";
    return false;
  }
  return true;
}

bool AsyncUrlSender::Send(const std::string& url) {
  std::lock_guard<std::mutex> lock(queue_->mutex);
  if (!InitializeThread()) return false;
  queue_->urls.push_back(url);
  ::SetEvent(queue_->wake_event.Get());
  return true;
}

bool AsyncUrlSender::WaitForIdle(DWORD timeout_ms) {
  const int64_t deadline =
      base::MonotonicMicroseconds() + int64_t{timeout_ms} * 1000;
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(queue_->mutex);
      if (queue_->urls.empty() && !queue_->busy) return true;
    }
    if (base::MonotonicMicroseconds() >= deadline) return false;
    ::Sleep(10);
  }
}

void AsyncUrlSender::Work(const std::shared_ptr<Queue>& queue,
                          HANDLE stop_event) {
  // Sleeps until there is work or the sender stops.
  const HANDLE events[] = {stop_event, queue->wake_event.Get()};
  while (::WaitForMultipleObjects(2, events, FALSE, INFINITE) ==
         WAIT_OBJECT_0 + 1) {
    for (;;) {
      std::string url;
      {
        std::lock_guard<std::mutex> lock(queue->mutex);
        if (::WaitForSingleObject(stop_event, 0) == WAIT_OBJECT_0) return;
        if (queue->urls.empty()) break;
        url = std::move(queue->urls.front());
        queue->urls.pop_front();
        queue->busy = true;
      }
      try {
        SendUrl(url);
      } catch (...) {
        LOG(ERROR) << "Sending " << url << " raised an exception";
      }
      std::lock_guard<std::mutex> lock(queue->mutex);
      queue->busy = false;
    }
  }
}

void AsyncUrlSender::SendUrl(const std::string& url) {
  std::wstring wide_url = base::UTF8ToWide(url);
  base::ScopedInternetHandle session(::InternetOpenW(
      kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!session.IsValid()) {
    PLOG(ERROR) << "Failed to open session for " << url;
    return;
  }
  ::InternetSetStatusCallbackW(session.Get(), CloseWhenSent);
  DWORD timeout = kTimeoutMs;
  if (!::InternetSetOptionW(session.Get(), INTERNET_OPTION_CONNECT_TIMEOUT,
                            &timeout, sizeof(timeout)) ||
      !::InternetSetOptionW(session.Get(), INTERNET_OPTION_SEND_TIMEOUT,
                            &timeout, sizeof(timeout)) ||
      !::InternetSetOptionW(session.Get(), INTERNET_OPTION_RECEIVE_TIMEOUT,
                            &timeout, sizeof(timeout))) {
    PLOG(ERROR) << "Failed to set internet options for " << url;
  }
  // The request handle is the status callback's to close.
  GuardedCall<HINTERNET> call = RunGuardedCall([&] {
    return ::InternetOpenUrlW(session.Get(), wide_url.c_str(), L"Accept: */*",
                              static_cast<DWORD>(-1), INTERNET_FLAG_RELOAD, 1);
  });
  if (call.raised) {
    LOG(ERROR) << "An attempt to open url " << url << " generated an exception "
               << call.exception.code;
  } else if (!call.result && call.error != ERROR_INTERNET_OPERATION_CANCELLED) {
    ::SetLastError(call.error);
    PLOG(ERROR) << "Failed to open " << url;
  }
}

}  // namespace lite
