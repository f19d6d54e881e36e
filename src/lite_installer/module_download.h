// Obtains the setup package: the candidate URLs with their retry plan,
// resumption, the pause between attempts and a statistics event per
// attempt.
#ifndef LITE_INSTALLER_MODULE_DOWNLOAD_H_
#define LITE_INSTALLER_MODULE_DOWNLOAD_H_

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "base/scoped_handle.h"
#include "lite_installer/download_loop.h"
#include "lite_util/download_urls.h"
#include "lite_util/install_stat_sender.h"
#include "lite_util/internet_downloader.h"

namespace lite {

class BrandInfo;
class DistribParams;
class InstallerCommandLine;

// Results of DownloadModule and DownloadOrExtractModule.
enum ModuleResult {
  kModuleReady = 0,
  kModuleFileNotCreated = 1,
  kModuleNotObtained = 2,
  kModuleCryptoProException = 3,
};

// The package file held open for writing (others may only read) from its
// creation until verification.
class PackageFileLock {
 public:
  explicit PackageFileLock(const std::wstring& path);

  HANDLE handle() const { return file_.Get(); }
  bool IsValid() const { return file_.IsValid(); }

 private:
  base::ScopedFile file_;
};

// Attempts per URL and in all, for `url_count` candidates.
struct AttemptPlan {
  int total;
  int per_url;
};
AttemptPlan PlanAttempts(size_t url_count);

// What the download takes from the installer controller.
struct ModuleDownloadContext {
  HANDLE cancel_event = nullptr;
  const DistribParams* distrib_params = nullptr;  // may be null
  const BrandInfo* brand_info = nullptr;
  DownloadProgressObserver* delegate = nullptr;  // may be null
  StatEventSink* statistics = nullptr;           // may be null
  // Raised when the user closed the window: attempts then send no events.
  const std::atomic<int>* user_cancel_count = nullptr;
};

class ModuleDownloader {
 public:
  explicit ModuleDownloader(const ModuleDownloadContext& context);
  virtual ~ModuleDownloader();

  // Creates `path` (through `lock_holder` when given, which then keeps it
  // open) and fills it from the embedded package or the network.
  // `downloaded`: the package came from the network.
  ModuleResult DownloadOrExtractModule(
      const std::wstring& path, bool* downloaded,
      std::unique_ptr<PackageFileLock>* lock_holder);
  // Tries the candidate URLs into `file`.
  ModuleResult DownloadModule(HANDLE file,
                              const InstallerCommandLine& command_line);

  // The URLs of the last DownloadModule.
  const std::vector<std::string>& urls() const { return urls_; }

 protected:
  // Test hooks.
  virtual DWORD PauseBetweenAttemptsMs() const { return 15000; }
  virtual std::unique_ptr<X64BuildExperiment> CreateExperiment() const;
  virtual bool RunLoop(const std::wstring& url, DownloadSink* sink,
                       DownloadProgressObserver* observer,
                       DownloadLoopResult* result);
  // The package embedded in a full installer (none in this product).
  virtual bool ExtractBrowserSetupResource(HANDLE file) { return false; }

 private:
  bool EventsAllowed() const;
  void SendEvent(const StatEvent& event) const;

  ModuleDownloadContext context_;
  std::vector<std::string> urls_;
};

}  // namespace lite

#endif  // LITE_INSTALLER_MODULE_DOWNLOAD_H_
