// HTTP GET over WinINet: one request at a time, the body streamed through
// one 32 KiB buffer into a sink, resumable by the sink's position, with the
// redirect target and the failing step recorded.
#ifndef LITE_INSTALLER_INTERNET_DOWNLOADER_H_
#define LITE_INSTALLER_INTERNET_DOWNLOADER_H_

#include <windows.h>

#include <wininet.h>

#include <cstdint>
#include <memory>
#include <string>

#include "lite_util/system_checks.h"

namespace lite {

// Receives a body; counts the bytes written since the last reset.
class DownloadSink {
 public:
  virtual bool Write(const void* data, uint32_t size) = 0;
  virtual void Reset() = 0;
  virtual ~DownloadSink() = default;

  uint32_t count() const { return count_; }

 protected:
  uint32_t count_ = 0;
};

// Writes into an open file it does not own.
class FileDownloadSink : public DownloadSink {
 public:
  explicit FileDownloadSink(HANDLE file) : file_(file) {}
  // True only when every byte was written.
  bool Write(const void* data, uint32_t size) override;
  // Truncates the file to nothing.
  void Reset() override;

 private:
  HANDLE file_;
};

class StringDownloadSink : public DownloadSink {
 public:
  bool Write(const void* data, uint32_t size) override;
  void Reset() override;
  std::string& bytes() { return bytes_; }

 private:
  std::string bytes_;
};

// An exception raised while a URL was opened.
using DownloadExceptionInfo = DelayLoadFailure;
// "Exception with code=<code>[dll_name=<dll>][proc_name=<proc>]".
std::string DescribeDownloadException(const DownloadExceptionInfo& info);

class InternetDownloader {
 public:
  static constexpr uint32_t kBufferSize = 32768;

  InternetDownloader();
  virtual ~InternetDownloader();
  InternetDownloader(const InternetDownloader&) = delete;
  InternetDownloader& operator=(const InternetDownloader&) = delete;

  // Downloads `url` (ASCII) to `target`, through a temporary file that is
  // moved there only when the whole body arrived. Stops early when
  // `cancel_event` (optional) is set, which fails the download.
  virtual bool DownloadToFile(const std::string& url,
                              const std::wstring& target, HANDLE cancel_event);
  // Downloads `url` into `body` (optional); the same rules.
  virtual bool DownloadToString(const std::string& url, HANDLE cancel_event,
                                std::string* body);
  // Sends the request; when the sink already holds bytes, asks for the body
  // after them.
  virtual bool Open(const std::wstring& url, DownloadSink* sink);
  // Reads one chunk into the sink; 0 when the body is complete or failed.
  virtual uint32_t Read();
  // True when nothing failed and the answer was 200; `status` (optional)
  // receives the status of a failed answer.
  virtual bool Finalize(int* status);

  // A header of the current response, empty when absent.
  virtual std::string GetResponseHeader(const std::string& name);

  const std::string& error_text() const { return error_text_; }
  const std::wstring& redirect_target() const { return redirect_target_; }
  uint32_t content_length() const { return content_length_; }
  const DownloadExceptionInfo& raised_exception() const {
    return exception_info_;
  }

  // While set, every downloader forwards its operations to `replacement`
  // (not owned; nullptr removes it). For tests.
  static void SetReplacement(InternetDownloader* replacement);

 protected:
  // For downloaders that script their answers in tests.
  void set_content_length(uint32_t length) { content_length_ = length; }
  void set_error_text(const std::string& text) { error_text_ = text; }

 private:
  bool PlainDownload(const std::string& url, DownloadSink* sink,
                     HANDLE cancel_event);
  // Resumes with an explicit Range request where InternetSetFilePointer is
  // not available (Wine); false when that could not be done either.
  bool ReopenFrom(uint32_t offset, DownloadSink* sink);
  bool OpenRequest(const std::wstring& url, const wchar_t* headers);
  void SetError(const char* step);
  void CloseHandles();
  InternetDownloader* Replacement();

  std::wstring url_;
  std::string error_text_;
  DownloadExceptionInfo exception_info_;
  std::wstring redirect_target_;
  uint32_t content_length_ = 0;
  uint64_t received_ = 0;  // body bytes of the current response
  DWORD expected_status_ = 200;  // 206 for a ranged request
  DownloadSink* sink_ = nullptr;
  HINTERNET session_ = nullptr;
  HINTERNET request_ = nullptr;
  std::unique_ptr<char[]> buffer_;
};

}  // namespace lite

#endif  // LITE_INSTALLER_INTERNET_DOWNLOADER_H_
