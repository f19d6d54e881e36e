// HTTP GET over WinINet: one request at a time, the body streamed through
// one 32 KiB buffer into a sink, resumable by the sink's position, with the
// redirect target and the failing step recorded.
//
// Every wait is bounded: connect, send and receive time-outs on the
// handles, a deadline for each request's answer headers, a stall limit for
// each read, at most kMaxRedirects redirects, answer headers of at most
// kMaxHeaderBytes, and bodies no longer than their sink's limit. A cancel
// event ends a blocked request at once (the blocking calls run on a thread
// of their own, see blocking_call_thread.h).
#ifndef LITE_UTIL_INTERNET_DOWNLOADER_H_
#define LITE_UTIL_INTERNET_DOWNLOADER_H_

#include <windows.h>

#include <wininet.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "lite_util/blocking_call_thread.h"
#include "lite_util/response_body.h"
#include "lite_util/system_checks.h"

namespace lite {

// Receives a body; counts the bytes written since the last reset and holds
// at most `limit()` of them: a write beyond fails with ERROR_FILE_TOO_LARGE.
class DownloadSink {
 public:
  virtual bool Write(const void* data, uint32_t size) = 0;
  virtual void Reset() = 0;
  virtual ~DownloadSink() = default;

  uint32_t count() const { return count_; }
  uint32_t limit() const { return limit_; }

 protected:
  explicit DownloadSink(uint32_t limit) : limit_(limit) {}
  // False (with ERROR_FILE_TOO_LARGE) when `size` more bytes would pass the
  // limit.
  bool Fits(uint32_t size) const;

  uint32_t count_ = 0;

 private:
  uint32_t limit_;
};

// Writes into an open file it does not own.
class FileDownloadSink : public DownloadSink {
 public:
  // The setup package and the bundles are far smaller.
  static constexpr uint32_t kDefaultLimit = 1024u * 1024 * 1024;

  explicit FileDownloadSink(HANDLE file, uint32_t limit = kDefaultLimit)
      : DownloadSink(limit), file_(file) {}
  // True only when every byte was written.
  bool Write(const void* data, uint32_t size) override;
  // Truncates the file to nothing.
  void Reset() override;

 private:
  HANDLE file_;
};

// Collects a body in memory: configuration, seeds, images, answers.
class StringDownloadSink : public DownloadSink {
 public:
  static constexpr uint32_t kDefaultLimit = 16u * 1024 * 1024;

  explicit StringDownloadSink(uint32_t limit = kDefaultLimit)
      : DownloadSink(limit) {}
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
  // Connect, send and receive time-outs of every socket operation.
  static constexpr DWORD kSocketTimeoutMs = 30000;
  // The longest a request may take until its answer headers are in (per
  // redirect step), and the longest one read of kBufferSize may take.
  static constexpr DWORD kAnswerTimeoutMs = 60000;
  static constexpr DWORD kReadStallMs = 60000;
  static constexpr int kMaxRedirects = 10;
  static constexpr uint32_t kMaxHeaderBytes = 64 * 1024;

  // Shorter limits, for tests.
  struct Limits {
    DWORD socket_timeout_ms = kSocketTimeoutMs;
    DWORD answer_timeout_ms = kAnswerTimeoutMs;
    DWORD read_stall_ms = kReadStallMs;
  };

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
  // Sends the request, following redirects; when the sink already holds
  // bytes, asks for the body after them.
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

  // When set, a blocked request or read ends as soon as the event is
  // (not owned; nullptr: none).
  void set_cancel_event(HANDLE event) { cancel_event_ = event; }
  void set_limits(const Limits& limits) { limits_ = limits; }
  // The limits of downloaders made from now on; call before any download
  // starts. For tests.
  static void SetDefaultLimits(const Limits& limits);

  // While set, every downloader forwards its operations to `replacement`
  // (not owned; nullptr removes it). For tests.
  static void SetReplacement(InternetDownloader* replacement);

 protected:
  // For downloaders that script their answers in tests.
  void set_content_length(uint32_t length) { content_length_ = length; }
  void set_error_text(const std::string& text) { error_text_ = text; }

 private:
  struct Request;

  bool PlainDownload(const std::string& url, DownloadSink* sink,
                     HANDLE cancel_event);
  // Sends the request for `url` with `headers`, following redirects, until
  // an answer that is not a redirect is in.
  bool OpenChain(const std::wstring& url, const std::wstring& headers);
  bool SendOne(const std::wstring& url, const std::wstring& headers);
  // Positions the body after the sink's bytes and decides what the answer
  // means for them; false when the attempt cannot go on.
  bool PlanResume(DownloadSink* sink);
  // Runs a blocking call of the current request on the call thread; false
  // (with the last error set) when it was given up or could not run.
  bool RunBlocking(std::function<void()> call, DWORD timeout_ms);
  std::optional<std::string> QueryHeader(DWORD query);
  void SetError(const char* step);
  void SetError(const char* step, DWORD error);
  // Closes the request's handles.
  void ResetHandles();
  // Closes the handles of a request whose call was given up without waiting
  // for the close, and forgets them.
  void AbandonHandles();
  InternetDownloader* Replacement();

  std::wstring url_;
  std::string error_text_;
  DownloadExceptionInfo exception_info_;
  std::wstring redirect_target_;
  uint32_t content_length_ = 0;  // the whole body's length, 0: unknown
  BodyPlan plan_;
  uint64_t received_ = 0;  // body bytes of the current answer
  DWORD status_ = 0;
  DownloadSink* sink_ = nullptr;
  HANDLE cancel_event_ = nullptr;
  Limits limits_;
  // What the blocking calls touch, shared with the call thread.
  std::shared_ptr<Request> request_;
  std::unique_ptr<BlockingCallThread> calls_;
};

}  // namespace lite

#endif  // LITE_UTIL_INTERNET_DOWNLOADER_H_
