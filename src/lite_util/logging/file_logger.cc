#include "lite_util/logging/file_logger.h"

#include <windows.h>

#include <cstdio>

#include "base/file_util.h"
#include "base/scoped_handle.h"
#include "base/string_util.h"
#include "lite_util/logging/log_line_format.h"

namespace lite {

namespace {

LogTime ToLogTime(const FILETIME& file_time) {
  LogTime time;
  SYSTEMTIME system_time;
  if (::FileTimeToSystemTime(&file_time, &system_time)) {
    time.year = system_time.wYear;
    time.month = system_time.wMonth;
    time.day = system_time.wDay;
    time.hour = system_time.wHour;
    time.minute = system_time.wMinute;
    time.second = system_time.wSecond;
    time.millisecond = system_time.wMilliseconds;
  }
  return time;
}

// Writes always go to the end; reading is needed to look at the last byte.
HANDLE OpenForAppend(const std::wstring& path) {
  return ::CreateFileW(path.c_str(), FILE_APPEND_DATA | FILE_READ_DATA,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// False when the file's last byte is not a line feed: a record was cut short
// (a full disk) and the next one must not be glued onto it. An empty file,
// or one that cannot be read, counts as ending a line.
bool EndsWithLineBreak(HANDLE file) {
  LARGE_INTEGER length;
  if (!::GetFileSizeEx(file, &length) || length.QuadPart <= 0) return true;
  const uint64_t last = static_cast<uint64_t>(length.QuadPart) - 1;
  OVERLAPPED at = {};
  at.Offset = static_cast<DWORD>(last);
  at.OffsetHigh = static_cast<DWORD>(last >> 32);
  char byte = 0;
  DWORD read = 0;
  if (!::ReadFile(file, &byte, 1, &read, &at) || read != 1) return true;
  return byte == '\n';
}

enum class LockOutcome { kTaken, kTakenAfterAbandonment, kNotTaken };

}  // namespace

std::wstring LogFileName(const std::string& install_suffix) {
  return L"lite_installer" + base::UTF8ToWide(install_suffix) + L".log";
}

std::wstring LogFilePath(const std::wstring& temp_directory,
                         const std::string& install_suffix) {
  return temp_directory + L"\\" + LogFileName(install_suffix);
}

FileLogger::FileLogger(std::wstring path, uint32_t max_size)
    : path_(std::move(path)),
      utf8_path_(base::WideToUTF8(path_)),
      mutex_name_(base::UTF8ToWide(LogMutexName(utf8_path_))),
      max_size_(max_size) {}

FileLogger::~FileLogger() = default;

void FileLogger::Emit(const LogRecord& record) {
  std::optional<std::string> header = FormatLogHeader(
      ToLogTime(record.time), record.process_id, record.thread_id);
  std::optional<std::string> suffix =
      FormatLogSuffix(record.function ? record.function : "", record.line);
  if (!header || !suffix) return;

  base::ScopedHandle mutex(::CreateMutexW(nullptr, FALSE, mutex_name_.c_str()));
  LockOutcome lock = LockOutcome::kNotTaken;
  if (mutex.IsValid()) {
    switch (::WaitForSingleObject(mutex.Get(), LockTimeoutMs())) {
      case WAIT_OBJECT_0:
        lock = LockOutcome::kTaken;
        break;
      case WAIT_ABANDONED:
        lock = LockOutcome::kTakenAfterAbandonment;
        break;
      default:
        break;
    }
  }

  std::string output;
  std::wstring directory = base::DirectoryPart(path_);
  bool directory_ok =
      directory.empty() || base::CreateDirectoryRecursive(directory);
  base::ScopedHandle file;
  if (directory_ok) file.Reset(OpenForAppend(path_));

  if (file.IsValid() && !rotation_failed_.load()) {
    LARGE_INTEGER length;
    if (!::GetFileSizeEx(file.Get(), &length)) {
      ::OutputDebugStringA("Unable to get file length.\n");
    } else if (NeedsRotation(static_cast<uint64_t>(length.QuadPart),
                             header->size(), record.text.size(), max_size_)) {
      file.Reset();
      std::wstring old_path = OldLogPath(path_);
      bool moved = ::MoveFileExW(path_.c_str(), old_path.c_str(),
                                 MOVEFILE_REPLACE_EXISTING) != FALSE;
      int32_t move_error = moved ? 0 : -static_cast<int32_t>(::GetLastError());
      file.Reset(OpenForAppend(path_));
      if (file.IsValid() && !moved) {
        rotation_failed_.store(true);
        output += FormatRotationNotice(*header, utf8_path_, move_error);
      }
    }
  }

  if (file.IsValid()) {
    if (!EndsWithLineBreak(file.Get())) output = '\n' + output;
    if (lock == LockOutcome::kNotTaken &&
        !lock_failure_reported_.exchange(true)) {
      output += FormatLogNotice(*header, kLockFailureNotice, utf8_path_);
    }
    if (lock == LockOutcome::kTakenAfterAbandonment) {
      output += FormatLogNotice(*header, kAbandonedNotice, utf8_path_);
    }
    output += FormatLogLine(*header, LogSeverityLabel(record.severity),
                            record.text, *suffix);
    DWORD written = 0;
    ::WriteFile(file.Get(), output.data(), static_cast<DWORD>(output.size()),
                &written, nullptr);
    file.Reset();
  }

  if (lock != LockOutcome::kNotTaken) ::ReleaseMutex(mutex.Get());
}

}  // namespace lite
