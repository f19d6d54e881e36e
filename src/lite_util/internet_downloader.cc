#include "lite_util/internet_downloader.h"

#include <algorithm>
#include <atomic>
#include <new>
#include <utility>

#include "base/file_util.h"
#include "base/scoped_handle.h"
#include "base/scoped_internet_handle.h"
#include "base/string_util.h"
#include "lite_util/exception_guard.h"
#include "lite_util/logging/log_message.h"

namespace lite {
namespace {

constexpr wchar_t kUserAgent[] = L"Zarvex.Browser lite installer";
constexpr wchar_t kAcceptHeader[] = L"Accept: */*";

std::atomic<InternetDownloader*> g_replacement{nullptr};
InternetDownloader::Limits g_default_limits;

bool QueryNumber(HINTERNET request, DWORD query, DWORD* value) {
  DWORD size = sizeof(*value);
  return ::HttpQueryInfoW(request, query | HTTP_QUERY_FLAG_NUMBER, value, &size,
                          nullptr) != FALSE;
}

// A header of the answer as text; nullopt when it is absent.
std::optional<std::wstring> QueryText(HINTERNET request, DWORD query) {
  std::wstring value(128, L'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    DWORD size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    if (::HttpQueryInfoW(request, query, value.data(), &size, nullptr)) {
      value.resize(size / sizeof(wchar_t));
      return value;
    }
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) break;
    value.assign(size / sizeof(wchar_t) + 1, L'\0');
  }
  return std::nullopt;
}

bool IsRedirect(DWORD status) {
  return status == HTTP_STATUS_MOVED || status == HTTP_STATUS_REDIRECT ||
         status == HTTP_STATUS_REDIRECT_METHOD ||
         status == HTTP_STATUS_REDIRECT_KEEP_VERB || status == 308;
}

void SetTimeouts(HINTERNET handle, DWORD timeout_ms) {
  for (DWORD option :
       {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
        INTERNET_OPTION_RECEIVE_TIMEOUT}) {
    ::InternetSetOptionW(handle, option, &timeout_ms, sizeof(timeout_ms));
  }
}

// Handles of a request whose call was given up, closed on a thread of their
// own: on Windows the close ends the call at once, while Wine may hold the
// close until the call is over (seen with a host sending endless headers).
struct Abandoned {
  std::shared_ptr<void> keep_alive;  // what the handles' callbacks point to
  // In this order, so that the request closes first.
  base::ScopedInternetHandle session;
  base::ScopedInternetHandle connection;
  base::ScopedInternetHandle request;
};

DWORD WINAPI CloseAbandoned(void* param) {
  delete static_cast<Abandoned*>(param);
  return 0;
}

// Counts the answer bytes WinINet reports, into the std::atomic<uint32_t>
// that is the request's context. Nothing may leave a WinINet callback.
void CALLBACK StatusCallback(HINTERNET, DWORD_PTR context, DWORD status,
                             LPVOID info, DWORD length) {
  if (status != INTERNET_STATUS_RESPONSE_RECEIVED || !context || !info ||
      length < sizeof(DWORD)) {
    return;
  }
  auto* counter = reinterpret_cast<std::atomic<uint32_t>*>(context);
  const uint32_t bytes = *static_cast<const DWORD*>(info);
  uint32_t seen = counter->load();
  while (!counter->compare_exchange_weak(
      seen, seen > UINT32_MAX - bytes ? UINT32_MAX : seen + bytes)) {
  }
}

}  // namespace

// The handles of the current request and what its blocking calls return.
// A call that was given up still holds it.
struct InternetDownloader::Request {
  // Bytes of answer the request's status callback was told of, since the
  // last send: the answer headers, once the send is over.
  std::atomic<uint32_t> answer_bytes{0};
  // In this order, so that they close request first.
  base::ScopedInternetHandle session;
  base::ScopedInternetHandle connection;
  base::ScopedInternetHandle request;
  std::unique_ptr<char[]> buffer{new char[kBufferSize]};
  BOOL succeeded = FALSE;
  DWORD bytes = 0;
  DWORD error = 0;
  bool raised = false;
  DownloadExceptionInfo exception;
};

bool DownloadSink::Fits(uint32_t size) const {
  if (size <= limit_ && count_ <= limit_ - size) return true;
  ::SetLastError(ERROR_FILE_TOO_LARGE);
  return false;
}

bool FileDownloadSink::Write(const void* data, uint32_t size) {
  if (!Fits(size)) return false;
  DWORD written = 0;
  if (!::WriteFile(file_, data, size, &written, nullptr) || written != size) {
    return false;
  }
  count_ += size;
  return true;
}

void FileDownloadSink::Reset() {
  ::SetFilePointer(file_, 0, nullptr, FILE_BEGIN);
  ::SetEndOfFile(file_);
  count_ = 0;
}

bool StringDownloadSink::Write(const void* data, uint32_t size) {
  if (!Fits(size)) return false;
  try {
    bytes_.append(static_cast<const char*>(data), size);
  } catch (const std::bad_alloc&) {
    ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return false;
  }
  count_ += size;
  return true;
}

void StringDownloadSink::Reset() {
  bytes_.clear();
  count_ = 0;
}

std::string DescribeDownloadException(const DownloadExceptionInfo& info) {
  std::string text = "Exception with code=" + base::NumberToString(info.code);
  if (!info.dll_name.empty()) text += "dll_name=" + info.dll_name;
  if (!info.procedure_name.empty()) text += "proc_name=" + info.procedure_name;
  return text;
}

InternetDownloader::InternetDownloader()
    : limits_(g_default_limits),
      request_(std::make_shared<Request>()),
      calls_(std::make_unique<BlockingCallThread>()) {}

InternetDownloader::~InternetDownloader() { ResetHandles(); }

void InternetDownloader::SetDefaultLimits(const Limits& limits) {
  g_default_limits = limits;
}

void InternetDownloader::SetReplacement(InternetDownloader* replacement) {
  g_replacement = replacement;
}

InternetDownloader* InternetDownloader::Replacement() {
  InternetDownloader* replacement = g_replacement;
  return replacement != this ? replacement : nullptr;
}

void InternetDownloader::ResetHandles() {
  // The last error stays. (A request whose call was given up is closed by
  // AbandonHandles instead.)
  request_->request.Reset();
  request_->connection.Reset();
  request_->session.Reset();
}

void InternetDownloader::AbandonHandles() {
  auto* abandoned = new Abandoned{request_, std::move(request_->session),
                                  std::move(request_->connection),
                                  std::move(request_->request)};
  base::ScopedHandle thread(
      ::CreateThread(nullptr, 0, CloseAbandoned, abandoned, 0, nullptr));
  if (!thread.IsValid()) CloseAbandoned(abandoned);
}

void InternetDownloader::SetError(const char* step) {
  SetError(step, ::GetLastError());
}

void InternetDownloader::SetError(const char* step, DWORD error) {
  error_text_ = step + base::NumberToString(static_cast<uint32_t>(error));
}

bool InternetDownloader::RunBlocking(std::function<void()> call,
                                     DWORD timeout_ms) {
  switch (calls_->Run(std::move(call), timeout_ms, cancel_event_)) {
    case BlockingCallThread::Outcome::kDone:
      return true;
    case BlockingCallThread::Outcome::kTimedOut:
      LOG(ERROR) << "No progress from " << url_ << " in " << timeout_ms
                 << " ms";
      AbandonHandles();
      ::SetLastError(ERROR_INTERNET_TIMEOUT);
      return false;
    case BlockingCallThread::Outcome::kCancelled:
      AbandonHandles();
      ::SetLastError(ERROR_CANCELLED);
      return false;
    case BlockingCallThread::Outcome::kFailed:
      break;
  }
  ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return false;
}

bool InternetDownloader::Open(const std::wstring& url, DownloadSink* sink) {
  if (InternetDownloader* replacement = Replacement()) {
    return replacement->Open(url, sink);
  }
  url_.clear();
  error_text_.clear();
  exception_info_ = DownloadExceptionInfo();
  redirect_target_.clear();
  content_length_ = 0;
  plan_ = BodyPlan();
  received_ = 0;
  status_ = 0;
  sink_ = nullptr;
  ResetHandles();
  if (!calls_->usable()) {
    // The last request was given up and its call may still run: start
    // afresh.
    request_ = std::make_shared<Request>();
    calls_ = std::make_unique<BlockingCallThread>();
  }

  request_->session.Reset(::InternetOpenW(
      kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!request_->session.IsValid()) {
    SetError("internet_open-");
    return false;
  }
  SetTimeouts(request_->session.Get(), limits_.socket_timeout_ms);
  if (::InternetSetStatusCallbackW(request_->session.Get(), StatusCallback) ==
      INTERNET_INVALID_STATUS_CALLBACK) {
    LOG(ERROR) << "SetStatusCallback failed";
  }

  url_ = url;
  if (!OpenChain(url, kAcceptHeader)) return false;
  // A body that cannot be resumed or used fails the attempt in Finalize.
  PlanResume(sink);
  sink_ = sink;
  LOG(INFO) << "Connection established: " << url;
  return true;
}

bool InternetDownloader::OpenChain(const std::wstring& url,
                                   const std::wstring& headers) {
  std::wstring current = url;
  for (int redirects = 0;; ++redirects) {
    if (!SendOne(current, headers)) return false;
    if (!QueryNumber(request_->request.Get(), HTTP_QUERY_STATUS_CODE,
                     &status_)) {
      status_ = 0;
    }
    if (!IsRedirect(status_)) return true;
    std::optional<std::wstring> location =
        QueryText(request_->request.Get(), HTTP_QUERY_LOCATION);
    if (!location || location->empty()) return true;
    if (redirects == kMaxRedirects) {
      LOG(ERROR) << "More than " << kMaxRedirects << " redirects from " << url;
      SetError("internet_open_url-", ERROR_HTTP_REDIRECT_FAILED);
      return false;
    }
    wchar_t combined[INTERNET_MAX_URL_LENGTH + 1];
    DWORD length = INTERNET_MAX_URL_LENGTH;
    if (!::InternetCombineUrlW(current.c_str(), location->c_str(), combined,
                               &length, ICU_NO_ENCODE)) {
      SetError("internet_open_url-");
      return false;
    }
    current.assign(combined, length);
    redirect_target_ = current;
  }
}

bool InternetDownloader::SendOne(const std::wstring& url,
                                 const std::wstring& headers) {
  request_->request.Reset();
  request_->connection.Reset();

  URL_COMPONENTSW parts = {sizeof(parts)};
  parts.dwSchemeLength = parts.dwHostNameLength = parts.dwUrlPathLength =
      parts.dwExtraInfoLength = 1;
  if (!::InternetCrackUrlW(url.c_str(), 0, 0, &parts)) {
    SetError("internet_open_url-");
    return false;
  }
  if (parts.nScheme != INTERNET_SCHEME_HTTP &&
      parts.nScheme != INTERNET_SCHEME_HTTPS) {
    SetError("internet_open_url-", ERROR_INTERNET_UNRECOGNIZED_SCHEME);
    return false;
  }
  const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
  std::wstring object(parts.lpszUrlPath ? parts.lpszUrlPath : L"",
                      parts.dwUrlPathLength);
  if (parts.lpszExtraInfo) {
    object.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  }
  if (object.empty()) object = L"/";

  request_->connection.Reset(
      ::InternetConnectW(request_->session.Get(), host.c_str(), parts.nPort,
                         nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
  if (!request_->connection.IsValid()) {
    SetError("internet_open_url-");
    return false;
  }
  SetTimeouts(request_->connection.Get(), limits_.socket_timeout_ms);
  DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_AUTO_REDIRECT;
  if (parts.nScheme == INTERNET_SCHEME_HTTPS) flags |= INTERNET_FLAG_SECURE;
  request_->request.Reset(::HttpOpenRequestW(
      request_->connection.Get(), L"GET", object.c_str(), nullptr, nullptr,
      nullptr, flags, reinterpret_cast<DWORD_PTR>(&request_->answer_bytes)));
  if (!request_->request.IsValid()) {
    SetError("internet_open_url-");
    return false;
  }
  SetTimeouts(request_->request.Get(), limits_.socket_timeout_ms);

  // The call runs on the call thread, under the exception guard there.
  request_->answer_bytes = 0;
  bool ran = RunBlocking(
      [r = request_, handle = request_->request.Get(), headers] {
        GuardedCall<BOOL> call = RunGuardedCall([&] {
          return ::HttpSendRequestW(handle, headers.c_str(),
                                    static_cast<DWORD>(-1), nullptr, 0);
        });
        r->raised = call.raised;
        r->exception = call.exception;
        r->succeeded = call.result;
        r->error = call.error;
      },
      limits_.answer_timeout_ms);
  if (!ran) {
    SetError("internet_open_url-");
    return false;
  }
  if (request_->raised) {
    exception_info_ = request_->exception;
    LOG(ERROR) << "An attempt to open url " << url << " generated an exception "
               << exception_info_.code;
    ResetHandles();
    return false;
  }
  if (!request_->succeeded) {
    SetError("internet_open_url-", request_->error);
    return false;
  }
  // The size as the callback heard it: asking WinINet for the raw headers
  // takes Wine minutes for a few megabytes of them.
  if (request_->answer_bytes.load() > kMaxHeaderBytes) {
    LOG(ERROR) << "The answer headers from " << url << " are longer than "
               << kMaxHeaderBytes << " bytes";
    SetError("internet_open_url-", ERROR_HTTP_INVALID_HEADER);
    return false;
  }
  return true;
}

bool InternetDownloader::PlanResume(DownloadSink* sink) {
  const uint32_t offset = sink->count();
  ResumeKind kind = ResumeKind::kNone;
  if (offset != 0) {
    kind = ResumeKind::kSeek;
    DWORD position = ::InternetSetFilePointer(request_->request.Get(),
                                              static_cast<LONG>(offset),
                                              nullptr, FILE_BEGIN, 0);
    if (position != offset) {
      DWORD error = ::GetLastError();
      if (error != ERROR_INTERNET_INVALID_OPERATION) {
        SetError("internet_set_file_pointer-", error);
        sink->Reset();
        return false;
      }
      // Where the request cannot seek (Wine), an explicit range request.
      kind = ResumeKind::kRange;
      const std::wstring headers =
          std::wstring(kAcceptHeader) + L"\r\nRange: bytes=" +
          base::UTF8ToWide(base::NumberToString(offset)) + L"-";
      if (!OpenChain(url_, headers)) return false;
    }
  }
  std::optional<std::string> length, range;
  if (auto text =
          QueryText(request_->request.Get(), HTTP_QUERY_CONTENT_LENGTH)) {
    length = base::WideToUTF8(*text);
  }
  if (auto text =
          QueryText(request_->request.Get(), HTTP_QUERY_CONTENT_RANGE)) {
    range = base::WideToUTF8(*text);
  }
  plan_ = PlanBody(offset, kind, status_, length, range, sink->limit());
  switch (plan_.verdict) {
    case BodyPlan::Verdict::kAccept:
      break;
    case BodyPlan::Verdict::kRestart:
      sink->Reset();
      break;
    case BodyPlan::Verdict::kRefuse:
      LOG(ERROR) << "The answer does not continue the body after " << offset
                 << " bytes: status " << status_;
      SetError("internet_set_file_pointer-",
               ERROR_HTTP_INVALID_SERVER_RESPONSE);
      sink->Reset();
      return false;
    case BodyPlan::Verdict::kTooLarge:
      LOG(ERROR) << "The body is longer than " << sink->limit() << " bytes";
      SetError("internet_read-", ERROR_FILE_TOO_LARGE);
      sink->Reset();
      return false;
    case BodyPlan::Verdict::kMalformed:
      SetError("internet_read-", ERROR_HTTP_INVALID_HEADER);
      return false;
  }
  content_length_ = plan_.total ? static_cast<uint32_t>(*plan_.total) : 0;
  return true;
}

uint32_t InternetDownloader::Read() {
  if (InternetDownloader* replacement = Replacement()) {
    return replacement->Read();
  }
  if (!error_text_.empty() || !request_->request.IsValid() || !sink_) {
    return 0;
  }
  // An answer with another status has no body for us; Finalize says why.
  if (status_ != plan_.expected_status) return 0;
  if (!RunBlocking(
          [r = request_, handle = request_->request.Get()] {
            r->bytes = 0;
            r->succeeded = ::InternetReadFile(handle, r->buffer.get(),
                                              kBufferSize, &r->bytes);
            r->error = ::GetLastError();
          },
          limits_.read_stall_ms)) {
    SetError("internet_read-");
    return 0;
  }
  if (!request_->succeeded) {
    SetError("internet_read-", request_->error);
    return 0;
  }
  const DWORD read = request_->bytes;
  if (read == 0) {
    // A connection that ends before the announced length is a failed read,
    // not the end of the body.
    if (!IsBodyComplete(plan_, received_)) {
      SetError("internet_read-", ERROR_INTERNET_CONNECTION_RESET);
    }
    return 0;
  }
  if (!sink_->Write(request_->buffer.get(), read)) {
    SetError("write_file-");
    return 0;
  }
  received_ += read;
  return read;
}

bool InternetDownloader::Finalize(int* status_out) {
  if (InternetDownloader* replacement = Replacement()) {
    return replacement->Finalize(status_out);
  }
  if (!error_text_.empty()) return false;
  DWORD status = 0;
  bool queried =
      request_->request.IsValid() &&
      QueryNumber(request_->request.Get(), HTTP_QUERY_STATUS_CODE, &status);
  if (!queried || status != plan_.expected_status) {
    DWORD error = ::GetLastError();
    if (!queried) status = 0;
    error_text_ = "final_query_info-" +
                  base::NumberToString(static_cast<uint32_t>(status)) + "-" +
                  base::NumberToString(static_cast<uint32_t>(error));
    LOG(ERROR) << "Unsuccessful download: " << url_;
    if (status_out) *status_out = static_cast<int>(status);
    return false;
  }
  return true;
}

bool InternetDownloader::PlainDownload(const std::string& url,
                                       DownloadSink* sink,
                                       HANDLE cancel_event) {
  set_cancel_event(cancel_event);
  if (!Open(base::WidenBytes(url), sink)) return false;
  bool cancelled = false;
  while (Read() != 0) {
    if (cancel_event &&
        ::WaitForSingleObject(cancel_event, 0) == WAIT_OBJECT_0) {
      cancelled = true;
      break;
    }
  }
  // A body cut short by cancellation is never taken as complete.
  return Finalize(nullptr) && !cancelled;
}

bool InternetDownloader::DownloadToFile(const std::string& url,
                                        const std::wstring& target,
                                        HANDLE cancel_event) {
  if (InternetDownloader* replacement = Replacement()) {
    bool downloaded = replacement->DownloadToFile(url, target, cancel_event);
    error_text_ = replacement->error_text();
    return downloaded;
  }
  const std::wstring temp_path =
      base::CreateTempFileIn(base::GetTempDirectory(), L"dl");
  if (temp_path.empty()) {
    SetError("temp_file-");
    return false;
  }
  bool downloaded = false;
  base::ScopedFile file(::CreateFileW(temp_path.c_str(), GENERIC_WRITE, 0,
                                      nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.IsValid()) {
    FileDownloadSink sink(file.Get());
    downloaded = PlainDownload(url, &sink, cancel_event);
    file.Reset();
  }
  bool moved = downloaded &&
               ::MoveFileExW(temp_path.c_str(), target.c_str(),
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED);
  ::DeleteFileW(temp_path.c_str());
  return moved;
}

bool InternetDownloader::DownloadToString(const std::string& url,
                                          HANDLE cancel_event,
                                          std::string* body) {
  if (InternetDownloader* replacement = Replacement()) {
    bool downloaded = replacement->DownloadToString(url, cancel_event, body);
    error_text_ = replacement->error_text();
    return downloaded;
  }
  StringDownloadSink sink;
  if (!PlainDownload(url, &sink, cancel_event)) return false;
  if (body) *body = std::move(sink.bytes());
  return true;
}

std::string InternetDownloader::GetResponseHeader(const std::string& name) {
  if (InternetDownloader* replacement = Replacement()) {
    return replacement->GetResponseHeader(name);
  }
  if (!request_->request.IsValid()) return std::string();
  std::string buffer(std::max<size_t>(name.size() + 1, 256), '\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    std::fill(buffer.begin(), buffer.end(), '\0');
    std::copy(name.begin(), name.end(), buffer.begin());
    DWORD size = static_cast<DWORD>(buffer.size());
    if (::HttpQueryInfoA(request_->request.Get(), HTTP_QUERY_CUSTOM,
                         buffer.data(), &size, nullptr)) {
      buffer.resize(size);
      return buffer;
    }
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) break;
    buffer.resize(std::max<size_t>(
        {size_t{size} + 1, buffer.size() * 2, name.size() + 1}));
  }
  return std::string();
}

}  // namespace lite
