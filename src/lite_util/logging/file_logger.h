// Appends log records to one file shared by every installer process of the
// user, serialised by a named mutex and rotated at a size limit.
#ifndef LITE_UTIL_LOGGING_FILE_LOGGER_H_
#define LITE_UTIL_LOGGING_FILE_LOGGER_H_

#include <atomic>
#include <cstdint>
#include <string>

#include "lite_util/logging/log_message.h"

namespace lite {

// Base name of the installer's log file ("lite_installer" + the product's
// install suffix + ".log"; the suffix is empty in this product).
std::wstring LogFileName(const std::string& install_suffix = std::string());
// The temporary directory (as the system reports it, with its trailing
// backslash), a backslash and LogFileName(). An empty `temp_directory` gives
// "\lite_installer.log", the root of the current drive.
std::wstring LogFilePath(const std::wstring& temp_directory,
                         const std::string& install_suffix = std::string());

class FileLogger : public Logger {
 public:
  // Opens nothing; every Emit opens and closes the file and the mutex.
  FileLogger(std::wstring path, uint32_t max_size);
  ~FileLogger() override;

  // Writes the record (with any pending notices) in one write. Never fails
  // its caller: what cannot be written is lost.
  void Emit(const LogRecord& record) override;

  const std::wstring& path() const { return path_; }

 protected:
  // How long to wait for the cross-process mutex; tests shorten it.
  virtual uint32_t LockTimeoutMs() const { return 1000; }

 private:
  const std::wstring path_;
  const std::string utf8_path_;
  const std::wstring mutex_name_;
  const uint32_t max_size_;
  std::atomic<bool> rotation_failed_{false};
  std::atomic<bool> lock_failure_reported_{false};
};

}  // namespace lite

#endif  // LITE_UTIL_LOGGING_FILE_LOGGER_H_
