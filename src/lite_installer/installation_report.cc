#include "lite_installer/installation_report.h"

#include "base/string_util.h"
#include "lite_util/service_hosts.h"

namespace lite {

std::wstring BuildInstallationReportUrl(const InstallationReport& report) {
  auto seconds = [](int64_t microseconds) {
    return base::NumberToString(microseconds / 1000000);
  };
  std::string url = std::string(kReportHost) +
                    "/get/browser/install?ui=" + report.run_id + "&result=" +
                    (report.cancelled ? "cancelled"
                     : report.success ? "success"
                                      : "failed") +
                    "&time=" + seconds(report.total_time_us);
  if (report.download_time_us != 0) {
    url += "&download_time=" + seconds(report.download_time_us);
  }
  if (report.install_time_us != 0) {
    url += "&install_time=" + seconds(report.install_time_us);
  }
  return base::UTF8ToWide(url);
}

}  // namespace lite
