#include "lite_installer/internet_downloader.h"

#include <algorithm>
#include <atomic>
#include <new>

#include "base/file_util.h"
#include "base/string_util.h"
#include "lite_util/exception_guard.h"
#include "lite_util/logging/log_message.h"

namespace lite {
namespace {

constexpr wchar_t kUserAgent[] = L"Zarvex.Browser lite installer";

std::atomic<InternetDownloader*> g_replacement{nullptr};

void CALLBACK StatusCallback(HINTERNET, DWORD_PTR context, DWORD status,
                             LPVOID info, DWORD) {
  if (status != INTERNET_STATUS_REDIRECT || !context || !info) return;
  try {
    *reinterpret_cast<std::wstring*>(context) =
        static_cast<const wchar_t*>(info);
  } catch (...) {
    // Nothing may leave a WinINet callback.
  }
}

struct OpenUrlCall {
  HINTERNET session;
  const wchar_t* url;
  const wchar_t* headers;
  DWORD_PTR context;
  HINTERNET result;
};

void OpenUrl(void* context) {
  auto* call = static_cast<OpenUrlCall*>(context);
  call->result = ::InternetOpenUrlW(call->session, call->url, call->headers,
                                    static_cast<DWORD>(-1),
                                    INTERNET_FLAG_RELOAD, call->context);
}

// The first byte position of a "Content-Range: bytes N-M/T" value.
bool ParseContentRangeStart(const std::string& value, uint32_t* start) {
  const std::string prefix = "bytes ";
  if (value.compare(0, prefix.size(), prefix) != 0) return false;
  size_t dash = value.find('-', prefix.size());
  if (dash == std::string::npos) return false;
  return base::StringToUint32(
      std::string_view(value).substr(prefix.size(), dash - prefix.size()),
      start);
}

bool QueryNumber(HINTERNET request, DWORD query, DWORD* value) {
  DWORD size = sizeof(*value);
  return ::HttpQueryInfoW(request, query | HTTP_QUERY_FLAG_NUMBER, value, &size,
                          nullptr) != FALSE;
}

}  // namespace

bool FileDownloadSink::Write(const void* data, uint32_t size) {
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
  bytes_.append(static_cast<const char*>(data), size);
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

InternetDownloader::InternetDownloader() : buffer_(new char[kBufferSize]) {}

InternetDownloader::~InternetDownloader() { CloseHandles(); }

void InternetDownloader::SetReplacement(InternetDownloader* replacement) {
  g_replacement = replacement;
}

InternetDownloader* InternetDownloader::Replacement() {
  InternetDownloader* replacement = g_replacement;
  return replacement != this ? replacement : nullptr;
}

void InternetDownloader::CloseHandles() {
  if (request_) ::InternetCloseHandle(request_);
  if (session_) ::InternetCloseHandle(session_);
  request_ = nullptr;
  session_ = nullptr;
}

void InternetDownloader::SetError(const char* step) {
  DWORD error = ::GetLastError();
  error_text_ = step + base::NumberToString(static_cast<uint32_t>(error));
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
  received_ = 0;
  expected_status_ = HTTP_STATUS_OK;
  sink_ = nullptr;
  CloseHandles();

  session_ = ::InternetOpenW(kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr,
                             nullptr, 0);
  if (!session_) {
    SetError("internet_open-");
    return false;
  }
  if (::InternetSetStatusCallbackW(session_, StatusCallback) ==
      INTERNET_INVALID_STATUS_CALLBACK) {
    LOG(ERROR) << "SetStatusCallback failed";
  }

  if (!OpenRequest(url, L"Accept: */*")) return false;
  url_ = url;

  if (sink->count() != 0) {
    DWORD position = ::InternetSetFilePointer(
        request_, static_cast<LONG>(sink->count()), nullptr, FILE_BEGIN, 0);
    if (position != sink->count()) {
      DWORD error = ::GetLastError();
      if (error != ERROR_INTERNET_INVALID_OPERATION ||
          !ReopenFrom(sink->count(), sink)) {
        ::SetLastError(error);
        SetError("internet_set_file_pointer-");
        sink->Reset();
      }
    }
  }
  ::InternetSetStatusCallbackW(session_, nullptr);
  sink_ = sink;
  LOG(INFO) << "Connection established: " << url;
  return true;
}

bool InternetDownloader::OpenRequest(const std::wstring& url,
                                     const wchar_t* headers) {
  OpenUrlCall call = {session_, url.c_str(), headers,
                      reinterpret_cast<DWORD_PTR>(&redirect_target_), nullptr};
  if (!RunWithExceptionGuard(OpenUrl, &call, nullptr, &exception_info_)) {
    LOG(ERROR) << "An attempt to open url " << url << " generated an exception "
               << exception_info_.code;
    return false;
  }
  request_ = call.result;
  if (!request_) {
    DWORD error = ::GetLastError();
    ::InternetSetStatusCallbackW(session_, nullptr);
    ::SetLastError(error);
    SetError("internet_open_url-");
    return false;
  }
  return true;
}

bool InternetDownloader::ReopenFrom(uint32_t offset, DownloadSink* sink) {
  ::InternetCloseHandle(request_);
  request_ = nullptr;
  const std::wstring headers = L"Accept: */*\r\nRange: bytes=" +
                               base::UTF8ToWide(base::NumberToString(offset)) +
                               L"-";
  if (!OpenRequest(url_, headers.c_str())) return false;
  DWORD status = 0;
  uint32_t start = 0;
  if (QueryNumber(request_, HTTP_QUERY_STATUS_CODE, &status) &&
      status == HTTP_STATUS_PARTIAL_CONTENT &&
      ParseContentRangeStart(GetResponseHeader("Content-Range"), &start) &&
      start == offset) {
    expected_status_ = HTTP_STATUS_PARTIAL_CONTENT;
  } else if (status == HTTP_STATUS_OK) {
    sink->Reset();  // the server sends the whole body again
  }
  return true;
}

uint32_t InternetDownloader::Read() {
  if (InternetDownloader* replacement = Replacement()) {
    return replacement->Read();
  }
  if (!error_text_.empty() || !request_ || !sink_) return 0;
  DWORD read = 0;
  if (!::InternetReadFile(request_, buffer_.get(), kBufferSize, &read)) {
    SetError("internet_read-");
    return 0;
  }
  DWORD status = 0;
  if (QueryNumber(request_, HTTP_QUERY_STATUS_CODE, &status) &&
      status != expected_status_) {
    return 0;
  }
  if (read == 0) {
    DWORD length = 0;
    if (content_length_ == 0 &&
        QueryNumber(request_, HTTP_QUERY_CONTENT_LENGTH, &length)) {
      content_length_ = length;
    }
    // A connection that ends before the announced length is a failed read,
    // not the end of the body. (Content-Length counts this response's body,
    // which for a resumed request is the rest of the file.)
    if (content_length_ != 0 && received_ < content_length_) {
      ::SetLastError(ERROR_INTERNET_CONNECTION_RESET);
      SetError("internet_read-");
    }
    return 0;
  }
  if (!sink_->Write(buffer_.get(), read)) {
    SetError("write_file-");
    return 0;
  }
  received_ += read;
  if (content_length_ == 0) {
    DWORD length = 0;
    if (QueryNumber(request_, HTTP_QUERY_CONTENT_LENGTH, &length)) {
      content_length_ = length;
    }
  }
  return read;
}

bool InternetDownloader::Finalize(int* status_out) {
  if (InternetDownloader* replacement = Replacement()) {
    return replacement->Finalize(status_out);
  }
  if (!error_text_.empty()) return false;
  DWORD status = 0;
  bool queried =
      request_ && QueryNumber(request_, HTTP_QUERY_STATUS_CODE, &status);
  if (!queried || status != expected_status_) {
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
  HANDLE file = ::CreateFileW(temp_path.c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    FileDownloadSink sink(file);
    downloaded = PlainDownload(url, &sink, cancel_event);
    ::CloseHandle(file);
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
  if (!request_) return std::string();
  std::string buffer(std::max<size_t>(name.size() + 1, 256), '\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    std::fill(buffer.begin(), buffer.end(), '\0');
    std::copy(name.begin(), name.end(), buffer.begin());
    DWORD size = static_cast<DWORD>(buffer.size());
    if (::HttpQueryInfoA(request_, HTTP_QUERY_CUSTOM, buffer.data(), &size,
                         nullptr)) {
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
