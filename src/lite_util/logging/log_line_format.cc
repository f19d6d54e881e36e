#include "lite_util/logging/log_line_format.h"

// The one-shot digest needs no provider machinery, which keeps the
// executable small.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/md5.h>

#include "base/string_util.h"

namespace lite {

std::optional<std::string> FormatLogHeader(const LogTime& time,
                                           uint32_t process_id,
                                           uint32_t thread_id) {
  std::string header;
  base::AppendDecimal(&header, time.year, 4);
  header.push_back('-');
  base::AppendDecimal(&header, time.month, 2);
  header.push_back('-');
  base::AppendDecimal(&header, time.day, 2);
  header.push_back(' ');
  base::AppendDecimal(&header, time.hour, 2);
  header.push_back(':');
  base::AppendDecimal(&header, time.minute, 2);
  header.push_back(':');
  base::AppendDecimal(&header, time.second, 2);
  header.push_back('.');
  base::AppendDecimal(&header, time.millisecond, 3);
  header.push_back(' ');
  base::AppendDecimal(&header, process_id, 2);
  header.push_back(':');
  base::AppendDecimal(&header, thread_id, 2);
  header.push_back(' ');
  if (header.size() >= kLogFieldBufferSize) return std::nullopt;
  return header;
}

std::optional<std::string> FormatLogSuffix(std::string_view function,
                                           int32_t line) {
  // The name ends at its first NUL, if it holds one.
  function = function.substr(0, function.find('\0'));
  std::string suffix = " (";
  suffix.append(function).push_back(':');
  base::AppendDecimal(&suffix, line);
  suffix.push_back(')');
  if (suffix.size() >= kLogFieldBufferSize) return std::nullopt;
  return suffix;
}

std::string FormatLogLine(std::string_view header, std::string_view label,
                          std::string_view text, std::string_view suffix) {
  std::string line;
  line.reserve(header.size() + label.size() + 2 + text.size() + suffix.size() +
               1);
  line.append(header).append(label).append(": ").append(text).append(suffix);
  line.push_back('\n');
  return line;
}

std::string FormatLogNotice(std::string_view header, std::string_view notice,
                            std::string_view utf8_path) {
  std::string line(header);
  line.append(notice).append(utf8_path);
  line.push_back('\n');
  return line;
}

std::string FormatRotationNotice(std::string_view header,
                                 std::string_view utf8_path, int32_t error) {
  std::string line(header);
  line.append("LOGGING: Failed to rotate log file ")
      .append(utf8_path)
      .append(": ")
      .append(std::to_string(error));
  line.push_back('\n');
  return line;
}

std::string LogMutexName(std::string_view utf8_path) {
  unsigned char digest[MD5_DIGEST_LENGTH];
  MD5(reinterpret_cast<const unsigned char*>(utf8_path.data()),
      utf8_path.size(), digest);
  static const char kHex[] = "0123456789abcdef";
  std::string name = "relupdater log ";
  for (unsigned char byte : digest) {
    name.push_back(kHex[byte >> 4]);
    name.push_back(kHex[byte & 0xF]);
  }
  return name;
}

std::wstring OldLogPath(const std::wstring& path) {
  size_t separator = path.find_last_of(L"\\/");
  size_t name_start = separator == std::wstring::npos ? 0 : separator + 1;
  size_t dot = path.rfind(L'.');
  if (dot == std::wstring::npos || dot < name_start) return path + L"_old";
  return path.substr(0, dot) + L"_old" + path.substr(dot);
}

bool NeedsRotation(uint64_t file_length, size_t header_length,
                   size_t text_length, uint32_t max_size) {
  return file_length + header_length + text_length >= max_size;
}

}  // namespace lite
