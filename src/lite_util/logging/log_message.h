// The program's one logging channel: statements are built with LOG/PLOG and
// handed, when they end, to the process-wide Logger (if one is installed).
#ifndef LITE_UTIL_LOGGING_LOG_MESSAGE_H_
#define LITE_UTIL_LOGGING_LOG_MESSAGE_H_

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace lite {

// Values are part of the log format; the order is not the usual one.
enum LogSeverity : int32_t {
  LOG_INFO = 0,
  LOG_ERROR = 1,
  LOG_WARNING = 2,
};

// Label written for a severity ("INFO", "ERROR", "WARNING").
const char* LogSeverityLabel(LogSeverity severity);

// What a finished statement hands to the logger.
struct LogRecord {
  LogSeverity severity = LOG_INFO;
  const char* function = "";  // static string, unqualified name
  int32_t line = 0;
  FILETIME time = {};  // wall clock (UTC), taken when the statement begins
  uint32_t process_id = 0;
  uint32_t thread_id = 0;
  std::string text;  // UTF-8
};

class Logger {
 public:
  virtual void Emit(const LogRecord& record) = 0;
  virtual ~Logger() = default;
};

// Installs the process-wide logger, taking ownership; a previous logger is
// destroyed. Called once at start-up before other threads exist.
void SetLogger(std::unique_ptr<Logger> logger);

// "<code>, <message text>" for a Win32 or WinINet error code (see .cc).
std::string SystemErrorText(uint32_t code);

// One statement. Pieces are appended with operator<<; the record is emitted
// from the destructor.
class LogMessage {
 public:
  LogMessage(LogSeverity severity, const char* function, int line);
  // Variant for failed system calls: " - " and `error_text` are appended
  // when the statement ends (the separator only after non-empty text).
  LogMessage(LogSeverity severity, const char* function, int line,
             std::string error_text);
  LogMessage(const LogMessage&) = delete;
  LogMessage& operator=(const LogMessage&) = delete;
  ~LogMessage();

  LogMessage& operator<<(std::string_view text);
  LogMessage& operator<<(const char* text);
  LogMessage& operator<<(const std::string& text);
  LogMessage& operator<<(std::wstring_view text);
  LogMessage& operator<<(const wchar_t* text);
  LogMessage& operator<<(const std::wstring& text);
  LogMessage& operator<<(char c);
  LogMessage& operator<<(int value);
  LogMessage& operator<<(unsigned value);
  LogMessage& operator<<(long value);
  LogMessage& operator<<(unsigned long value);
  LogMessage& operator<<(long long value);
  LogMessage& operator<<(unsigned long long value);
  LogMessage& operator<<(bool value);

 private:
  LogRecord record_;
  bool has_error_text_ = false;
  std::string error_text_;
};

}  // namespace lite

// The function name written with every statement. A file may redefine it to
// log under another name (start-up logs as "wWinMain").
#define LITE_LOG_FUNCTION __func__

#define LOG(severity) \
  ::lite::LogMessage(::lite::LOG_##severity, LITE_LOG_FUNCTION, __LINE__)
// Appends the text of the calling thread's last error.
#define PLOG(severity)                                                    \
  ::lite::LogMessage(::lite::LOG_##severity, LITE_LOG_FUNCTION, __LINE__, \
                     ::lite::SystemErrorText(::GetLastError()))
// Appends the text of an explicit error code.
#define LOG_WITH_ERROR(severity, code)                                    \
  ::lite::LogMessage(::lite::LOG_##severity, LITE_LOG_FUNCTION, __LINE__, \
                     ::lite::SystemErrorText(code))

#endif  // LITE_UTIL_LOGGING_LOG_MESSAGE_H_
