#include "lite_util/crash_reporter/crash_reporter.h"

namespace lite {

namespace {
CrashReporter* g_crash_reporter = nullptr;
}  // namespace

CrashReporter::CrashReporter(const std::string& product_version) {
  SetParameter("ver", product_version);
  SetParameter("plat", "Win32");
  SetParameter("prod", "Zarvex");
  previous_filter_ = ::SetUnhandledExceptionFilter(&UnhandledExceptionFilter);
  g_crash_reporter = this;
}

CrashReporter::~CrashReporter() {
  ::SetUnhandledExceptionFilter(previous_filter_);
  g_crash_reporter = nullptr;
}

void CrashReporter::SetParameter(const std::string& name,
                                 const std::string& value) {
  if (name.empty() || value.empty()) return;
  annotations_[name] = value;
}

LONG WINAPI
CrashReporter::UnhandledExceptionFilter(EXCEPTION_POINTERS* exception) {
  CrashReporter* reporter = g_crash_reporter;
  if (reporter && reporter->previous_filter_) {
    return reporter->previous_filter_(exception);
  }
  return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace lite
