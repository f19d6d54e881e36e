// The controller of one installation: obtains, verifies and runs the setup
// program and reports to its delegate.
//
// For now it obtains the package (download with statistics) and verifies
// it; running the setup comes later.
#ifndef LITE_INSTALLER_INSTALLER_H_
#define LITE_INSTALLER_INSTALLER_H_

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "lite_installer/exit_codes.h"
#include "lite_installer/module_download.h"
#include "lite_installer/statistics_reporter.h"

namespace lite {

class BrandInfo;
class DistribParams;
class TrustVerifier;

// How the installer reports to its window.
class InstallerDelegate {
 public:
  virtual ~InstallerDelegate() = default;
};

class Installer {
 public:
  Installer(InstallerDelegate* delegate, const BrandInfo* brand_info,
            const DistribParams* distrib_params, bool background_tasks);
  virtual ~Installer();
  Installer(const Installer&) = delete;
  Installer& operator=(const Installer&) = delete;

  // Ignored on Windows 8 and 8.1.
  void SetMakeDefaultBrowser(bool make_default);
  void SetSendStatistics(bool send_statistics) {
    send_statistics_ = send_statistics;
  }

  // Runs the whole installation on the calling thread.
  void InstallSilently();

  // A new unique file "zb*.tmp" in the temporary directory (empty on
  // failure).
  std::wstring GetModulePath() const;
  // Obtains the package into `path`; 0 or the download's code.
  int GetModule(const std::wstring& path);

  // 400 until something decides it.
  int result_code() const { return result_code_; }

  // Trust verification of the downloaded setup package (the controller's
  // virtual operations 14 to 16). VerifyModule reads the trusted list from
  // the package itself; the full installer first verifies without network
  // use, the lite installer always with it.
  virtual bool VerifyModule(const std::wstring& path);
  // Builds a verifier from the list; when the answer is false and network
  // use was prevented, asks once more with network use allowed.
  virtual bool VerifyWithTrustedList(const std::wstring& path,
                                     const std::string& json,
                                     bool prevents_network_use);
  virtual bool RunTrustVerifier(TrustVerifier& verifier,
                                const std::wstring& path,
                                bool prevents_network_use);

 private:
  InstallerDelegate* delegate_;
  const BrandInfo* brand_info_;
  const DistribParams* distrib_params_;
  bool background_tasks_;
  bool make_default_browser_ = false;
  bool send_statistics_ = false;
  int result_code_ = kExitInstallerUndecided;
  HANDLE stop_event_;
  std::atomic<int> user_cancel_count_{0};
  std::unique_ptr<StatisticsReporter> statistics_;
  std::unique_ptr<PackageFileLock> package_lock_;
  int64_t download_time_us_ = 0;
};

}  // namespace lite

#endif  // LITE_INSTALLER_INSTALLER_H_
