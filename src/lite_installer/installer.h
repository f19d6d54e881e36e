// The controller of one installation: obtains the setup package, verifies
// and locks it, writes what the setup expects, runs it and reports progress,
// statistics and the outcome.
#ifndef LITE_INSTALLER_INSTALLER_H_
#define LITE_INSTALLER_INSTALLER_H_

#include <windows.h>

#include <shellapi.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "base/scoped_handle.h"
#include "base/worker_thread.h"
#include "lite_installer/async_install_tasks.h"
#include "lite_installer/brand/installer_data.h"
#include "lite_installer/delayed_params.h"
#include "lite_installer/download_loop.h"
#include "lite_installer/elevated_process.h"
#include "lite_installer/exit_codes.h"
#include "lite_installer/installer_command_line.h"
#include "lite_installer/module_download.h"
#include "lite_util/statistics_reporter.h"
#include "lite_util/windows_version.h"

namespace lite {

class BrandInfo;
class DistribParams;
class TrustVerifier;

// How the installer reports to its window. The first operations are those
// of the package download's progress.
class InstallerDelegate : public DownloadProgressObserver {
 public:
  // Always 1: the installer is finished with the window.
  virtual void RequestClose(int value) = 0;
  // The installation failed; `outcome` is an outcome class.
  virtual void OnFinished(int outcome) = 0;
  // The window that receives the setup's progress messages.
  virtual HWND GetWindowHandle() = 0;
  virtual void SetProgress(int percent) = 0;
  // The setup runs: from now on the installation cannot be cancelled.
  virtual void OnSetupLaunched() = 0;
};

// What the controller takes from the process that runs it, instead of
// reading it there itself.
struct InstallerInputs {
  // The installer's own command line: the data file paths, the switches that
  // steer the download and the run, and the base of the setup's command line.
  InstallerCommandLine command_line;
  // WindowsVersion()'s class of the running system.
  int windows_version = kWindowsBeforeXp;
  // The display scale (ScaleFactor()), reported when the installation starts.
  double scale_factor = 1.0;
  // The installer's own file, started again for the elevated copy; the
  // command line's program when empty.
  std::wstring executable_path;
};

class Installer {
 public:
  // InstallBrowser's result on success; a failure gives the outcome class
  // it stands for: the download's code, or kOutcomeInstallerFailure.
  static constexpr int kInstallSucceeded = 0;

  // What an installation that InstallBrowser ended tells: the outcome class
  // the window hears (none: it is not told) and the result the report
  // carries.
  struct Outcome {
    std::optional<int32_t> window_outcome;
    bool success = false;
  };

  Installer(InstallerDelegate* delegate, const BrandInfo* brand_info,
            const DistribParams* distrib_params, bool background_tasks,
            InstallerInputs inputs);
  // Stops and waits for the install thread (60 s, then terminates it).
  virtual ~Installer();
  Installer(const Installer&) = delete;
  Installer& operator=(const Installer&) = delete;

  // Hands the setup's run to the elevated copy (the delayed parameters
  // block is written) and waits for it; true when the copy succeeded.
  virtual bool RunModuleInElevatedProcess();
  // Runs the setup at `path` with `command_line` and waits for it.
  virtual bool RunModule(const std::wstring& path,
                         const InstallerCommandLine& command_line);
  // Gives the statistics reporter the installation's standing parameters.
  virtual void SetUpStatisticsParams();
  // One plain download (the result report).
  virtual bool Download(const std::wstring& url, DownloadSink* sink);
  virtual bool WriteResourceToFile(int id, const std::wstring& path);
  virtual bool WriteResourceToFile(const std::string& name,
                                   const std::wstring& path);
  virtual bool GetModuleCreationTime(const std::wstring& path, int64_t* time);
  // Tries the candidate URLs into `file` (the attempt plan of
  // module_download.h, each attempt through RunDownloadLoop).
  virtual ModuleResult DownloadModule(HANDLE file,
                                      const InstallerCommandLine& command_line);
  // One download attempt (and the plain Download): the one place where a
  // downloader is made and run, stopped by the stop event.
  virtual bool RunDownloadLoop(const std::wstring& url, DownloadSink* sink,
                               DownloadProgressObserver* observer,
                               DownloadLoopResult* result);
  // Milliseconds between two download attempts.
  virtual DWORD PauseBetweenAttemptsMs() const {
    return kPauseBetweenAttemptsMs;
  }
  // The package embedded in a full installer: none in this product.
  virtual bool ExtractBrowserSetupResource(HANDLE file) { return false; }
  // A new unique file "zb*.tmp" in the working directory; empty on failure.
  virtual std::wstring GetModulePath();
  // Obtains the package into `path`; 0 or the download's code (1 to 3).
  virtual int GetModule(const std::wstring& path, bool lock_wanted);
  // Trust verification of the package (reads the list from the package).
  virtual bool VerifyModule(const std::wstring& path);
  virtual bool VerifyWithTrustedList(const std::wstring& path,
                                     const std::string& json,
                                     bool prevents_network_use);
  virtual bool RunTrustVerifier(TrustVerifier& verifier,
                                const std::wstring& path,
                                bool prevents_network_use);
  // Milliseconds between two looks for the browser's window after the run.
  virtual DWORD BrowserWatchIntervalMs() const { return 20000; }
  // The elevation prompt: ShellExecuteExW with `info` ("runas").
  virtual bool LaunchElevated(SHELLEXECUTEINFOW* info);
  // A new handshake object for the elevated copy.
  virtual std::unique_ptr<ElevatedProcess> CreateElevatedProcess();

  // Whether this installation should run the setup through an elevated
  // copy of the installer (each refusal logged).
  bool NeedStartThisProcessAsAdmin();
  // Starts the elevated copy (the system's elevation prompt); true when it
  // runs. A refused prompt makes the setup run with disable-uac.
  bool StartThisProcessAsAdmin();
  // The window's rule, at the moment its elevation mode gives (window
  // created, or Install pressed): starts the elevated copy when one is
  // needed. False only when one was needed and could not be started.
  bool StartElevatedCopyIfNeeded() {
    return !NeedStartThisProcessAsAdmin() || StartThisProcessAsAdmin();
  }
  // The elevation mode of this installation (elevation.h).
  int uac_mode() const;
  bool has_elevated_process() const { return elevated_process_ != nullptr; }
  bool elevation_refused() const { return elevation_refused_; }

  void StartInstallAsync();
  // Sets the stop event and waits up to 60 s for the install thread; false
  // on time-out.
  bool WaitForInstallAsync();
  // Sets the stop event without waiting: the download, the wait for the
  // confirmation, the elevated copy's run and the browser watch end early.
  void Stop() { ::SetEvent(stop_event_); }
  void MarkInstallButtonPressed();
  void ProceedWithInstallation();
  // The whole installation on the calling thread, already confirmed.
  void InstallSilently();

  // Ignored on Windows 8 and 8.1.
  void SetMakeDefaultBrowser(bool make_default);
  void SetSendStatistics(bool value) { send_statistics_ = value; }
  void SetCreateVessaShortcut(bool value) { create_vessa_shortcut_ = value; }
  void SetDisableVessaLogic(bool value) { disable_vessa_logic_ = value; }
  // Raised by the window when the user cancels.
  void IncrementCancelCount() { ++cancel_count_; }

  // Whether the window may offer to make the browser the default: yes up to
  // Windows 7, no on 8 and 8.1, on 10 and later the interface probe's
  // answer (whose code goes to the setup).
  bool CanMakeDefaultBrowser();

  int GetResultCode() const { return result_code_; }
  // Compatibility name used by start-up.
  int result_code() const { return result_code_; }

  // The setup's command line for `program`.
  InstallerCommandLine BuildSetupCommandLine(const std::wstring& program,
                                             bool with_data_files) const;

  // The installation body (on the install thread, or the caller's in
  // silent mode).
  void Install();
  // 0 on success, the download's code, or 1 for any other failure.
  int InstallBrowser();
  // Runs `command_line` and waits; the setup's exit code in `exit_code`.
  bool RunModuleAndWait(const wchar_t* application,
                        const std::wstring& command_line, int* exit_code);

  // The one decision on how an installation ended: InstallBrowser's result,
  // the failure reason recorded by whichever process ran the setup, and
  // whether the installation was stopped (the window closed). The window
  // hears the result as the outcome class, the generic failure giving way to
  // a recorded reason; after a stop only when a reason was recorded.
  static Outcome OutcomeOf(int install_browser_result, int32_t failure_reason,
                           bool stopped);

 private:
  ModuleDownloadContext DownloadContext();
  // What the elevated copy needs to run the setup as this installer would.
  DelayedParams DelayedParamsForCopy(int64_t download_time_us) const;
  void SendEvent(const StatEvent& event);
  // The package file opened for reading and running only.
  bool LockModule(const std::wstring& path, bool permanent_lock);
  void ReportInstallationFinished(bool success);
  void WatchForBrowser();

  // First, so that it goes last (after the statistics reporter).
  std::unique_ptr<AsyncInstallTasks> background_tasks_object_;
  InstallerDelegate* delegate_;
  const BrandInfo* brand_info_;
  const DistribParams* distrib_params_;
  bool background_tasks_;
  const InstallerInputs inputs_;
  std::unique_ptr<StatisticsReporter> statistics_;
  bool make_default_browser_ = false;
  bool send_statistics_ = false;
  bool create_vessa_shortcut_ = false;
  bool disable_vessa_logic_ = false;
  std::wstring working_directory_;
  InstallerDataFiles data_files_;
  std::string installation_id_;
  int result_code_ = kExitInstallerUndecided;
  base::WorkerThread install_thread_;
  // The install thread's stop event (owned by install_thread_), which also
  // cancels the downloads and ends the silent installation's waits.
  const HANDLE stop_event_ = install_thread_.stop_event();
  // Made on the window's thread before the installation is confirmed, used
  // and destroyed on the install thread after it (the proceed event orders
  // the two).
  std::unique_ptr<ElevatedProcess> elevated_process_;
  base::ScopedHandle proceed_event_{
      ::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  std::atomic<int> cancel_count_{0};
  int64_t total_time_us_ = 0;
  int64_t download_time_us_ = 0;
  int64_t install_time_us_ = 0;
  int64_t install_button_time_us_ = 0;
  int64_t confirmation_time_us_ = 0;
  int64_t interface_availability_ = 0;
  std::wstring user_id_;
  bool elevation_refused_ = false;
  std::wstring module_path_;
  std::wstring override_partner_package_;
  std::unique_ptr<PackageFileLock> package_lock_;
  base::ScopedFile module_lock_;
  // The package came from the resources, not from a download.
  bool extracted_ = false;
  // RunModuleAndWait created the setup's process.
  bool setup_started_ = false;
  std::string download_error_;  // of the last plain Download
};

}  // namespace lite

#endif  // LITE_INSTALLER_INSTALLER_H_
