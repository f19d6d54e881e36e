// The one report of an installation's outcome, sent at its very end.
#ifndef LITE_INSTALLER_INSTALLATION_REPORT_H_
#define LITE_INSTALLER_INSTALLATION_REPORT_H_

#include <cstdint>
#include <string>

namespace lite {

struct InstallationReport {
  std::string run_id;  // a GUID without braces
  bool cancelled = false;
  bool success = false;
  int64_t total_time_us = 0;
  int64_t download_time_us = 0;
  int64_t install_time_us = 0;
};

// The report host's "/get/browser/install" URL with the run id, the result
// and the durations in whole seconds (the last two only when measured).
std::wstring BuildInstallationReportUrl(const InstallationReport& report);

}  // namespace lite

#endif  // LITE_INSTALLER_INSTALLATION_REPORT_H_
