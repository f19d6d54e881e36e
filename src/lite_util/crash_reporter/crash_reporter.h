// Captures a crash of the installer and reports it. One per process.
//
// For now this keeps the annotations and chains to the previous
// unhandled-exception filter; writing and uploading the dump come later.
#ifndef LITE_UTIL_CRASH_REPORTER_CRASH_REPORTER_H_
#define LITE_UTIL_CRASH_REPORTER_CRASH_REPORTER_H_

#include <windows.h>

#include <map>
#include <string>

namespace lite {

class CrashReporter {
 public:
  // Installs the process's unhandled-exception filter.
  // `product_version`: the installer's version, for the "ver" annotation.
  explicit CrashReporter(const std::string& product_version);
  // Puts the previous filter back.
  ~CrashReporter();
  CrashReporter(const CrashReporter&) = delete;
  CrashReporter& operator=(const CrashReporter&) = delete;

  // Sets an annotation of a future report, replacing an earlier value. An
  // empty name or value is ignored.
  void SetParameter(const std::string& name, const std::string& value);

  const std::map<std::string, std::string>& annotations() const {
    return annotations_;
  }

 private:
  static LONG WINAPI UnhandledExceptionFilter(EXCEPTION_POINTERS* exception);

  std::map<std::string, std::string> annotations_;
  LPTOP_LEVEL_EXCEPTION_FILTER previous_filter_ = nullptr;
};

}  // namespace lite

#endif  // LITE_UTIL_CRASH_REPORTER_CRASH_REPORTER_H_
