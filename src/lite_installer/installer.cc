#include "lite_installer/installer.h"

#include "base/string_util.h"
#include "lite_installer/brand_info.h"
#include "lite_installer/distrib_params.h"
#include "lite_installer/installer_events.h"
#include "lite_util/installer_registry.h"
#include "lite_util/logging/log_message.h"
#include "lite_util/system_checks.h"

namespace lite {

Installer::Installer(InstallerDelegate* delegate, const BrandInfo* brand_info,
                     const DistribParams* distrib_params, bool background_tasks)
    : delegate_(delegate),
      brand_info_(brand_info),
      distrib_params_(distrib_params),
      background_tasks_(background_tasks),
      stop_event_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      statistics_(std::make_unique<StatisticsReporter>(
          0, ReadInstallerValue(L"install_stat"))) {
  statistics_->SetParam(kStatBrandId,
                        brand_info_ ? base::UTF8ToWide(brand_info_->brand_id())
                                    : L"unknown");
  statistics_->SetParam(
      kStatPartnerId,
      brand_info_ ? base::UTF8ToWide(brand_info_->partner_id()) : L"unknown");
}

Installer::~Installer() {
  package_lock_.reset();
  statistics_.reset();
  if (stop_event_) ::CloseHandle(stop_event_);
}

void Installer::SetMakeDefaultBrowser(bool make_default) {
  int version = WindowsVersion();
  bool windows8 = version == 5 || version == 6;
  make_default_browser_ = make_default && !windows8;
}

void Installer::InstallSilently() {
  std::wstring path = GetModulePath();
  if (path.empty()) return;
  LOG(INFO) << "Executable path: " << path;
  ::DeleteFileW(path.c_str());
  if (GetModule(path) == 0) {
    package_lock_.reset();
    if (!VerifyModule(path)) {
      LOG(ERROR) << "Module verification failed: " << path;
      result_code_ = kExitVerificationFailed;
      statistics_->Send(VerificationErrorEvent());
    } else {
      LOG(INFO) << "Verification succeeded: " << path;
      LOG(INFO) << "Running the setup is not available in this build.";
    }
  }
  package_lock_.reset();
  ::DeleteFileW(path.c_str());
}

std::wstring Installer::GetModulePath() const {
  wchar_t path[MAX_PATH];
  const std::wstring directory =
      brand_info_ ? brand_info_->temp_directory() : std::wstring(L".");
  if (!::GetTempFileNameW(directory.c_str(), L"zb", 0, path)) {
    LOG(ERROR) << "Cannot obtain temp file.";
    return std::wstring();
  }
  return path;
}

int Installer::GetModule(const std::wstring& path) {
  ModuleDownloadContext context;
  context.cancel_event = stop_event_;
  context.distrib_params = distrib_params_;
  context.brand_info = brand_info_;
  context.statistics = statistics_.get();
  context.user_cancel_count = &user_cancel_count_;
  ModuleDownloader downloader(context);
  LARGE_INTEGER frequency, start, end;
  ::QueryPerformanceFrequency(&frequency);
  ::QueryPerformanceCounter(&start);
  bool downloaded = false;
  ModuleResult result =
      downloader.DownloadOrExtractModule(path, &downloaded, &package_lock_);
  ::QueryPerformanceCounter(&end);
  download_time_us_ =
      (end.QuadPart - start.QuadPart) * 1000000 / frequency.QuadPart;
  if (result != kModuleReady) {
    LOG(ERROR) << "Module was not downloaded: " << path;
    result_code_ = kExitDownloadFailed;
    return result;
  }
  LOG(INFO) << "Module downloaded: " << path;
  if (downloaded) statistics_->Send(DownloadFinishedEvent(download_time_us_));
  return 0;
}

}  // namespace lite
