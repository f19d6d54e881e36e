// Obtains the setup package: the candidate URLs with their retry plan,
// resumption, the pause between attempts and a statistics event per
// attempt.
#ifndef LITE_INSTALLER_MODULE_DOWNLOAD_H_
#define LITE_INSTALLER_MODULE_DOWNLOAD_H_

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/scoped_handle.h"
#include "lite_installer/download_loop.h"
#include "lite_util/download_urls.h"
#include "lite_util/install_stat_sender.h"
#include "lite_util/internet_downloader.h"
#include "lite_util/windows_version.h"

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

// The pause between two attempts.
inline constexpr DWORD kPauseBetweenAttemptsMs = 15000;

// What the package download takes from the installer controller: its state
// and, as hooks, the operations the download runs on. The controller
// answers each hook with its own operation of the same name, so that what a
// subclass changes there changes the download; tests script them.
struct ModuleDownloadContext {
  HANDLE cancel_event = nullptr;
  const DistribParams* distrib_params = nullptr;  // may be null
  const BrandInfo* brand_info = nullptr;
  int windows_version = kWindowsBeforeXp;        // WindowsVersion()'s class
  DownloadProgressObserver* delegate = nullptr;  // may be null
  StatEventSink* statistics = nullptr;           // may be null
  // Raised when the user closed the window: attempts then send no events.
  const std::atomic<int>* user_cancel_count = nullptr;

  // Tries the candidate URLs into `file`: DownloadModule below, as a rule.
  std::function<ModuleResult(HANDLE file,
                             const InstallerCommandLine& command_line)>
      download_module;
  // One attempt: downloads `url` into `sink`, resuming after what it holds.
  std::function<bool(const std::wstring& url, DownloadSink* sink,
                     DownloadProgressObserver* observer,
                     DownloadLoopResult* result)>
      run_download_loop;
  // Milliseconds between two attempts.
  std::function<DWORD()> pause_between_attempts_ms;
  // Writes the package embedded in a full installer into `file`; false when
  // there is none (as in this product).
  std::function<bool(HANDLE file)> extract_browser_setup_resource;
};

// Creates `path` (through `lock_holder` when given, which then keeps it
// open) and fills it from the embedded package or else, through
// `context.download_module` with `command_line`, from the network.
// `downloaded`: the package came from the network.
ModuleResult DownloadOrExtractModule(
    const ModuleDownloadContext& context, const std::wstring& path,
    const InstallerCommandLine& command_line, bool* downloaded,
    std::unique_ptr<PackageFileLock>* lock_holder);

// Tries the candidate URLs for `command_line` into `file` by the attempt
// plan, each attempt through `context.run_download_loop`. `urls` (optional)
// receives the candidates.
ModuleResult DownloadModule(const ModuleDownloadContext& context, HANDLE file,
                            const InstallerCommandLine& command_line,
                            std::vector<std::string>* urls = nullptr);

}  // namespace lite

#endif  // LITE_INSTALLER_MODULE_DOWNLOAD_H_
