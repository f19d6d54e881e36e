// The byte layout of the log file: line header and suffix, the notices, the
// name of the cross-process mutex and the rotated file's path. No I/O here.
#ifndef LITE_UTIL_LOGGING_LOG_LINE_FORMAT_H_
#define LITE_UTIL_LOGGING_LOG_LINE_FORMAT_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lite {

// Broken-down UTC time of a record.
struct LogTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0,
      millisecond = 0;
};

// Header and suffix are formatted into 200-byte buffers; a record whose
// header or suffix would need 200 bytes or more is dropped.
constexpr size_t kLogFieldBufferSize = 200;

// "YYYY-MM-DD hh:mm:ss.mmm PP:TT " (ids in decimal, at least two digits).
std::optional<std::string> FormatLogHeader(const LogTime& time,
                                           uint32_t process_id,
                                           uint32_t thread_id);
// " (function:line)".
std::optional<std::string> FormatLogSuffix(std::string_view function,
                                           int32_t line);

// header + label + ": " + text + suffix + "\n".
std::string FormatLogLine(std::string_view header, std::string_view label,
                          std::string_view text, std::string_view suffix);

// header + notice + path + "\n" for the three logger notices.
std::string FormatLogNotice(std::string_view header, std::string_view notice,
                            std::string_view utf8_path);
constexpr char kLockFailureNotice[] = "LOGGING: Failed to lock log file ";
constexpr char kAbandonedNotice[] =
    "LOGGING: Abandoned log mutex recovered for file ";
// "LOGGING: Failed to rotate log file <path>: <error>\n".
std::string FormatRotationNotice(std::string_view header,
                                 std::string_view utf8_path, int32_t error);

// "relupdater log " + lower-case hex MD5 of the UTF-8 path.
std::string LogMutexName(std::string_view utf8_path);

// Inserts "_old" before the extension of the file name (or appends it when
// the name has none): ...\lite_installer.log -> ...\lite_installer_old.log.
std::wstring OldLogPath(const std::wstring& path);

// True when a record must rotate the file first: the current length plus
// the header and text lengths reach the threshold (computed in 64 bits).
bool NeedsRotation(uint64_t file_length, size_t header_length,
                   size_t text_length, uint32_t max_size);

}  // namespace lite

#endif  // LITE_UTIL_LOGGING_LOG_LINE_FORMAT_H_
