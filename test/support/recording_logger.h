// A logger for tests that keeps every record's text in memory.
#ifndef TEST_SUPPORT_RECORDING_LOGGER_H_
#define TEST_SUPPORT_RECORDING_LOGGER_H_

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "lite_util/logging/log_message.h"

namespace lite {

class RecordingLogger : public Logger {
 public:
  // Installs a new recording logger as the process's logger and returns it
  // (owned by the logging slot until the next SetLogger).
  static RecordingLogger* Install() {
    auto logger = std::make_unique<RecordingLogger>();
    RecordingLogger* raw = logger.get();
    SetLogger(std::move(logger));
    return raw;
  }

  void Emit(const LogRecord& record) override {
    std::lock_guard<std::mutex> lock(mutex_);
    records_.push_back(record);
  }

  std::vector<std::string> Texts() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> texts;
    for (const LogRecord& record : records_) texts.push_back(record.text);
    return texts;
  }

  // True when some record's text starts with `prefix`.
  bool Has(const std::string& prefix) {
    for (const std::string& text : Texts()) {
      if (text.rfind(prefix, 0) == 0) return true;
    }
    return false;
  }

  std::vector<LogRecord> Records() {
    std::lock_guard<std::mutex> lock(mutex_);
    return records_;
  }

 private:
  std::mutex mutex_;
  std::vector<LogRecord> records_;
};

}  // namespace lite

#endif  // TEST_SUPPORT_RECORDING_LOGGER_H_
