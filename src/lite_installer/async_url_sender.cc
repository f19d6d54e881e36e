#include "lite_installer/async_url_sender.h"

#include <wininet.h>

#include "base/string_util.h"
#include "lite_util/logging/log_message.h"
#include "lite_util/exception_guard.h"

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

AsyncUrlSender::AsyncUrlSender()
    : wake_event_(::CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

AsyncUrlSender::~AsyncUrlSender() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  if (thread_) {
    ::SetEvent(wake_event_);
    ::WaitForSingleObject(thread_, INFINITE);
    ::CloseHandle(thread_);
  }
  if (wake_event_) ::CloseHandle(wake_event_);
}

bool AsyncUrlSender::InitializeThread() {
  if (thread_) return true;
  thread_ = wake_event_ ? ::CreateThread(nullptr, 0, ThreadMain, this, 0,
                                         nullptr)
                        : nullptr;
  if (!thread_) {
    PLOG(ERROR) << "Failed to create thread for async http requests";
    return false;
  }
  return true;
}

bool AsyncUrlSender::Send(const std::string& url) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!InitializeThread()) return false;
  queue_.push_back(url);
  ::SetEvent(wake_event_);
  return true;
}

bool AsyncUrlSender::WaitForIdle(DWORD timeout_ms) {
  const ULONGLONG deadline = ::GetTickCount64() + timeout_ms;
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (queue_.empty() && !busy_) return true;
    }
    if (::GetTickCount64() >= deadline) return false;
    ::Sleep(10);
  }
}

DWORD WINAPI AsyncUrlSender::ThreadMain(void* self) {
  static_cast<AsyncUrlSender*>(self)->Run();
  return 0;
}

void AsyncUrlSender::Run() {
  for (;;) {
    ::WaitForSingleObject(wake_event_, INFINITE);
    for (;;) {
      std::string url;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stop_) return;
        if (queue_.empty()) break;
        url = std::move(queue_.front());
        queue_.pop_front();
        busy_ = true;
      }
      SendUrl(url);
      std::lock_guard<std::mutex> lock(mutex_);
      busy_ = false;
    }
  }
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
                            sizeof(timeout))) {
    PLOG(ERROR) << "Failed to set internet options for " << url;
  }
  OpenUrlCall call = {session, wide_url.c_str(), nullptr, 0};
  DelayLoadFailure failure;
  if (!RunWithExceptionGuard(OpenUrl, &call, nullptr, &failure)) {
    LOG(ERROR) << "An attempt to open url " << url
               << " generated an exception " << failure.code;
  } else if (!call.result && call.error != ERROR_INTERNET_OPERATION_CANCELLED) {
    ::SetLastError(call.error);
    PLOG(ERROR) << "Failed to open " << url;
  }
  ::InternetCloseHandle(session);
}

}  // namespace lite
