#include "lite_util/logging/log_message.h"

#include <atomic>
#include <utility>

#include "base/string_util.h"

namespace lite {

namespace {

// Written once at start-up, before other threads exist; read afterwards.
Logger* g_logger = nullptr;

std::string FormatMessageFrom(DWORD flags, HMODULE module, uint32_t code) {
  wchar_t buffer[1024];
  DWORD length = ::FormatMessageW(
      flags | FORMAT_MESSAGE_IGNORE_INSERTS, module, code,
      MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), buffer, 1024, nullptr);
  if (length == 0) return std::string();
  return base::WideToUTF8(std::wstring_view(buffer, length));
}

}  // namespace

const char* LogSeverityLabel(LogSeverity severity) {
  switch (severity) {
    case LOG_INFO:
      return "INFO";
    case LOG_ERROR:
      return "ERROR";
    case LOG_WARNING:
      return "WARNING";
  }
  return "INFO";
}

void SetLogger(std::unique_ptr<Logger> logger) {
  Logger* previous = g_logger;
  g_logger = logger.release();
  delete previous;
}

std::string SystemErrorText(uint32_t code) {
  std::string message =
      FormatMessageFrom(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code);
  // The WinINet and URL moniker tables are consulted only when the module
  // is already loaded; it is never loaded for this.
  for (const wchar_t* name : {L"wininet.dll", L"urlmon.dll"}) {
    if (!message.empty()) break;
    if (HMODULE module = ::GetModuleHandleW(name)) {
      message = FormatMessageFrom(FORMAT_MESSAGE_FROM_HMODULE, module, code);
    }
  }
  if (message.empty()) {
    message = "unknown error 0x";
    base::AppendHex(&message, code, 0, false);
    message.push_back('\n');
  }
  return base::NumberToString(code) + ", " + message;
}

LogMessage::LogMessage(LogSeverity severity, const char* function, int line) {
  record_.severity = severity;
  record_.function = function;
  record_.line = line;
  ::GetSystemTimeAsFileTime(&record_.time);
  record_.process_id = ::GetCurrentProcessId();
  record_.thread_id = ::GetCurrentThreadId();
}

LogMessage::LogMessage(LogSeverity severity, const char* function, int line,
                       std::string error_text)
    : LogMessage(severity, function, line) {
  has_error_text_ = true;
  error_text_ = std::move(error_text);
}

LogMessage::~LogMessage() {
  if (!g_logger) return;
  DWORD error = ::GetLastError();
  if (has_error_text_) {
    if (!record_.text.empty()) record_.text += " - ";
    record_.text += error_text_;
  }
  g_logger->Emit(record_);
  ::SetLastError(error);
}

LogMessage& LogMessage::operator<<(std::string_view text) {
  record_.text.append(text);
  return *this;
}
LogMessage& LogMessage::operator<<(const char* text) {
  return *this << std::string_view(text ? text : "");
}
LogMessage& LogMessage::operator<<(const std::string& text) {
  return *this << std::string_view(text);
}
LogMessage& LogMessage::operator<<(std::wstring_view text) {
  record_.text += base::WideToUTF8(text);
  return *this;
}
LogMessage& LogMessage::operator<<(const wchar_t* text) {
  return *this << std::wstring_view(text ? text : L"");
}
LogMessage& LogMessage::operator<<(const std::wstring& text) {
  return *this << std::wstring_view(text);
}
LogMessage& LogMessage::operator<<(char c) {
  record_.text.push_back(c);
  return *this;
}
LogMessage& LogMessage::operator<<(int value) {
  return *this << base::NumberToString(static_cast<int64_t>(value));
}
LogMessage& LogMessage::operator<<(unsigned value) {
  return *this << base::NumberToString(static_cast<uint64_t>(value));
}
LogMessage& LogMessage::operator<<(long value) {
  return *this << base::NumberToString(static_cast<int64_t>(value));
}
LogMessage& LogMessage::operator<<(unsigned long value) {
  return *this << base::NumberToString(static_cast<uint64_t>(value));
}
LogMessage& LogMessage::operator<<(long long value) {
  return *this << base::NumberToString(static_cast<int64_t>(value));
}
LogMessage& LogMessage::operator<<(unsigned long long value) {
  return *this << base::NumberToString(static_cast<uint64_t>(value));
}
LogMessage& LogMessage::operator<<(bool value) {
  return *this << (value ? "1" : "0");
}

}  // namespace lite
