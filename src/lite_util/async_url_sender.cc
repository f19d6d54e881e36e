#include "lite_util/async_url_sender.h"

#include <wininet.h>

#include <deque>
#include <mutex>
#include <utility>

#include "base/string_util.h"
#include "lite_util/exception_guard.h"
#include "lite_util/logging/log_message.h"

namespace lite {
namespace {

constexpr wchar_t kUserAgent[] = L"Zarvex.Browser installer";
constexpr DWORD kTimeoutMs = 2000;

// The request is closed as soon as it is sent: nobody reads the answer.
void CALLBACK CloseWhenSent(HINTERNET handle, DWORD_PTR, DWORD status, LPVOID,
                            DWORD) {
  if (status == INTERNET_STATUS_REQUEST_SENT) ::InternetCloseHandle(handle);
}

struct OpenUrlCall {
  HINTERNET session;
  const wchar_t* url;
  HINTERNET result;
  DWORD error;
};

void OpenUrl(void* context) {
  auto* call = static_cast<OpenUrlCall*>(context);
  call->result =
      ::InternetOpenUrlW(call->session, call->url, L"Accept: */*",
                         static_cast<DWORD>(-1), INTERNET_FLAG_RELOAD, 1);
  call->error = ::GetLastError();
}

}  // namespace

struct AsyncUrlSender::Queue {
  std::mutex mutex;
  std::deque<std::string> urls;
  bool stop = false;
  bool busy = false;  // a request is being sent
  base::ScopedHandle wake_event{::CreateEventW(nullptr, FALSE, FALSE, nullptr)};
};

AsyncUrlSender::AsyncUrlSender() : queue_(std::make_shared<Queue>()) {}

AsyncUrlSender::~AsyncUrlSender() {
  {
    std::lock_guard<std::mutex> lock(queue_->mutex);
    queue_->stop = true;
  }
  if (thread_.IsValid()) {
    ::SetEvent(queue_->wake_event.Get());
    if (::WaitForSingleObject(thread_.Get(), kStopWaitMs) != WAIT_OBJECT_0) {
      LOG(ERROR) << "A statistics request did not end in " << kStopWaitMs
                 << " ms; it ends with the process";
    }
  }
}

bool AsyncUrlSender::InitializeThread() {
  if (thread_.IsValid()) return true;
  if (queue_->wake_event.IsValid()) {
    auto* param = new std::shared_ptr<Queue>(queue_);
    thread_.Reset(::CreateThread(nullptr, 0, ThreadMain, param, 0, nullptr));
    if (!thread_.IsValid()) delete param;
  }
  if (!thread_.IsValid()) {
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
  const ULONGLONG deadline = ::GetTickCount64() + timeout_ms;
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(queue_->mutex);
      if (queue_->urls.empty() && !queue_->busy) return true;
    }
    if (::GetTickCount64() >= deadline) return false;
    ::Sleep(10);
  }
}

DWORD WINAPI AsyncUrlSender::ThreadMain(void* param) {
  std::shared_ptr<Queue> queue =
      std::move(*static_cast<std::shared_ptr<Queue>*>(param));
  delete static_cast<std::shared_ptr<Queue>*>(param);
  // Sleeps until there is work or the sender stops.
  while (::WaitForSingleObject(queue->wake_event.Get(), INFINITE) ==
         WAIT_OBJECT_0) {
    for (;;) {
      std::string url;
      {
        std::lock_guard<std::mutex> lock(queue->mutex);
        if (queue->stop) return 0;
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
  return 0;
}

void AsyncUrlSender::SendUrl(const std::string& url) {
  std::wstring wide_url = base::UTF8ToWide(url);
  HINTERNET session = ::InternetOpenW(kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG,
                                      nullptr, nullptr, 0);
  if (!session) {
    PLOG(ERROR) << "Failed to open session for " << url;
    return;
  }
  ::InternetSetStatusCallbackW(session, CloseWhenSent);
  DWORD timeout = kTimeoutMs;
  if (!::InternetSetOptionW(session, INTERNET_OPTION_CONNECT_TIMEOUT, &timeout,
                            sizeof(timeout)) ||
      !::InternetSetOptionW(session, INTERNET_OPTION_SEND_TIMEOUT, &timeout,
                            sizeof(timeout)) ||
      !::InternetSetOptionW(session, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout,
                            sizeof(timeout))) {
    PLOG(ERROR) << "Failed to set internet options for " << url;
  }
  OpenUrlCall call = {session, wide_url.c_str(), nullptr, 0};
  DelayLoadFailure failure;
  if (!RunWithExceptionGuard(OpenUrl, &call, nullptr, &failure)) {
    LOG(ERROR) << "An attempt to open url " << url << " generated an exception "
               << failure.code;
  } else if (!call.result && call.error != ERROR_INTERNET_OPERATION_CANCELLED) {
    ::SetLastError(call.error);
    PLOG(ERROR) << "Failed to open " << url;
  }
  ::InternetCloseHandle(session);
}

}  // namespace lite
