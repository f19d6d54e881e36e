#include "lite_installer/installer.h"

#include <cmath>
#include <exception>
#include <utility>

#include "base/file_util.h"
#include "base/guid.h"
#include "base/monotonic_clock.h"
#include "base/process.h"
#include "base/string_util.h"
#include "lite_installer/bin_resources.h"
#include "lite_installer/brand/brand_info.h"
#include "lite_installer/brand/distrib_params.h"
#include "lite_installer/delayed_params.h"
#include "lite_installer/elevation.h"
#include "lite_installer/install_details.h"
#include "lite_installer/installation_report.h"
#include "lite_installer/installer_events.h"
#include "lite_installer/installer_switches.h"
#include "lite_installer/setup_command_line.h"
#include "lite_installer/setup_exit_codes.h"
#include "lite_installer/ui_language.h"
#include "lite_util/download_urls.h"
#include "lite_util/installer_registry.h"
#include "lite_util/logging/log_message.h"
#include "lite_util/system_checks.h"
#include "lite_util/user_id.h"
#include "lite_util/windows_version.h"
#include "zarvex/util/application_association_registration_internal.h"

namespace lite {

using base::MonotonicMicroseconds;

namespace {

constexpr DWORD kThreadWaitMs = 60000;
constexpr DWORD kStatisticsFlushMs = 3000;
constexpr wchar_t kBrowserMessageWindowClass[] = L"ZarvexBrowser_MessageWindow";

std::string NewInstallationId() {
  const std::string id = base::NewGuidString();
  return id.empty() ? id : id.substr(1, 36);  // without the braces
}

void ReportInstallException(const char* what) {
  if (what) {
    LOG(ERROR) << "The installation raised: " << what;
  } else {
    LOG(ERROR) << "The installation raised an exception";
  }
}

}  // namespace

Installer::Installer(InstallerDelegate* delegate, const BrandInfo* brand_info,
                     const DistribParams* distrib_params, bool background_tasks,
                     InstallerInputs inputs)
    : delegate_(delegate),
      brand_info_(brand_info),
      distrib_params_(distrib_params),
      background_tasks_(background_tasks),
      inputs_(std::move(inputs)),
      statistics_(std::make_unique<StatisticsReporter>(
          IsFullInstallerMode() ? 1 : 0, ReadInstallerValue(L"install_stat"))),
      working_directory_(brand_info ? brand_info->temp_directory()
                                    : std::wstring()),
      user_id_(base::UTF8ToWide(GetUserId())) {
  SetUpStatisticsParams();
  if (background_tasks_ && brand_info_ && distrib_params_) {
    background_tasks_object_ =
        std::make_unique<AsyncInstallTasks>(*brand_info_, *distrib_params_);
  }
  data_files_.InitPaths(inputs_.command_line, IsFullInstallerMode());
}

Installer::~Installer() {
  if (install_thread_.started() && !install_thread_.Stop(kThreadWaitMs)) {
    PLOG(ERROR) << "Failed to wait for install async exit. Terminate "
                   "install_thread_";
    install_thread_.Terminate();
  }
  elevated_process_.reset();
  module_lock_.Reset();
  package_lock_.reset();
  // Events of the last moments (a failed verification, the setup's end)
  // would otherwise be dropped with the queue; a short wait lets them go.
  statistics_->WaitForPendingRequests(kStatisticsFlushMs);
  statistics_.reset();
}

void Installer::SetUpStatisticsParams() {
  statistics_->SetParam(
      kStatBrandId,
      brand_info_ ? base::UTF8ToWide(brand_info_->brand_id()) : L"unknown");
  statistics_->SetParam(
      kStatPartnerId,
      brand_info_ ? base::UTF8ToWide(brand_info_->partner_id()) : L"unknown");
  if (!distrib_params_) return;
  const std::pair<const char*, int> kParams[] = {
      {"banerid", kStatBannerId},
      {"zarvexuid", kStatZarvexUid},
      {"distr_zarvexuid", kStatDistrZarvexUid},
  };
  for (const auto& [key, number] : kParams) {
    std::string value;
    if (distrib_params_->Get(key, &value)) {
      statistics_->SetParam(number, base::UTF8ToWide(value));
    }
  }
}

void Installer::SendEvent(const StatEvent& event) { statistics_->Send(event); }

bool Installer::RunModuleInElevatedProcess() {
  LOG(INFO) << "Started waiting the elevated installer has finished its work.";
  const bool success = elevated_process_->RunModule(stop_event_);
  LOG(INFO) << "The elevated installer has finished, success="
            << (success ? 1 : 0);
  return success;
}

bool Installer::NeedStartThisProcessAsAdmin() {
  return lite::NeedStartThisProcessAsAdmin(
      IsUserAnAdminGroup(::GetCurrentProcess()), inputs_.windows_version,
      inputs_.command_line);
}

int Installer::uac_mode() const {
  return UacMode(distrib_params_, inputs_.command_line);
}

bool Installer::LaunchElevated(SHELLEXECUTEINFOW* info) {
  return ::ShellExecuteExW(info) != FALSE;
}

std::unique_ptr<ElevatedProcess> Installer::CreateElevatedProcess() {
  return std::make_unique<ElevatedProcess>();
}

bool Installer::StartThisProcessAsAdmin() {
  const InstallerCommandLine setup =
      BuildSetupCommandLine(L"fake_browser_arc", false);
  const InstallerCommandLine copy = BuildElevatedCopyCommandLine(
      inputs_.command_line, ::GetCurrentProcessId(), setup);
  const std::wstring file = inputs_.executable_path.empty()
                                ? inputs_.command_line.GetProgram()
                                : inputs_.executable_path;
  const std::wstring parameters = copy.GetCommandLineString();

  // The prompt's owner: an invisible window in the middle of the screen the
  // installer is on, so that the prompt appears there and in front.
  base::ScopedWindow anchor(::CreateWindowExW(
      WS_EX_TOOLWINDOW, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 0, 0,
      nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr));
  if (anchor.IsValid()) {
    MONITORINFO monitor = {sizeof(monitor)};
    if (::GetMonitorInfoW(
            ::MonitorFromWindow(anchor.Get(), MONITOR_DEFAULTTONEAREST),
            &monitor)) {
      ::MoveWindow(
          anchor.Get(), (monitor.rcMonitor.left + monitor.rcMonitor.right) / 2,
          (monitor.rcMonitor.top + monitor.rcMonitor.bottom) / 2, 0, 0, FALSE);
    }
    ::SetForegroundWindow(anchor.Get());
  }

  elevated_process_ = CreateElevatedProcess();
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.hwnd = anchor.Get();
  info.lpVerb = L"runas";
  info.lpFile = file.c_str();
  info.lpParameters = parameters.c_str();
  info.nShow = SW_SHOW;
  if (LaunchElevated(&info) && info.hProcess) {
    elevated_process_->Init(info.hProcess, anchor.Take());
    return true;
  }
  const DWORD error = ::GetLastError();
  if (info.hProcess) ::CloseHandle(info.hProcess);
  elevated_process_.reset();
  if (reinterpret_cast<INT_PTR>(info.hInstApp) == SE_ERR_ACCESSDENIED) {
    elevation_refused_ = true;
  }
  ::SetLastError(error);
  return false;
}

bool Installer::Download(const std::wstring& url, DownloadSink* sink) {
  LOG(INFO) << "Attempt to download module: " << url;
  sink->Reset();
  DownloadLoopResult result;
  bool ok = RunDownloadLoop(url, sink, nullptr, &result);
  download_error_ = result.error_text;
  return ok;
}

bool Installer::WriteResourceToFile(int id, const std::wstring& path) {
  std::string bytes = BinResources().Load(id);
  return !bytes.empty() && base::WriteBytesToFile(path, bytes);
}

bool Installer::WriteResourceToFile(const std::string& name,
                                    const std::wstring& path) {
  std::string bytes = BinResources().Load(name);
  return !bytes.empty() && base::WriteBytesToFile(path, bytes);
}

bool Installer::GetModuleCreationTime(const std::wstring& path, int64_t* time) {
  return lite::GetModuleCreationTime(path, time);
}

ModuleDownloadContext Installer::DownloadContext() {
  ModuleDownloadContext context;
  context.cancel_event = stop_event_;
  context.distrib_params = distrib_params_;
  context.brand_info = brand_info_;
  context.windows_version = inputs_.windows_version;
  context.delegate = delegate_;
  context.statistics = statistics_.get();
  context.user_cancel_count = &cancel_count_;
  // The download runs on the controller's own operations.
  context.download_module = [this](HANDLE file,
                                   const InstallerCommandLine& command_line) {
    return DownloadModule(file, command_line);
  };
  context.run_download_loop =
      [this](const std::wstring& url, DownloadSink* sink,
             DownloadProgressObserver* observer, DownloadLoopResult* result) {
        return RunDownloadLoop(url, sink, observer, result);
      };
  context.pause_between_attempts_ms = [this] {
    return PauseBetweenAttemptsMs();
  };
  context.extract_browser_setup_resource = [this](HANDLE file) {
    return ExtractBrowserSetupResource(file);
  };
  return context;
}

ModuleResult Installer::DownloadModule(
    HANDLE file, const InstallerCommandLine& command_line) {
  return lite::DownloadModule(DownloadContext(), file, command_line);
}

bool Installer::RunDownloadLoop(const std::wstring& url, DownloadSink* sink,
                                DownloadProgressObserver* observer,
                                DownloadLoopResult* result) {
  InternetDownloader downloader;
  return lite::RunDownloadLoop(&downloader, url, sink, stop_event_, observer,
                               result);
}

std::wstring Installer::GetModulePath() {
  std::wstring path = base::CreateTempFileIn(working_directory_, L"zb");
  if (path.empty()) PLOG(ERROR) << "Cannot obtain temp file.";
  return path;
}

int Installer::GetModule(const std::wstring& path, bool lock_wanted) {
  const int64_t start = MonotonicMicroseconds();
  bool downloaded = false;
  ModuleResult result = DownloadOrExtractModule(
      DownloadContext(), path, inputs_.command_line, &downloaded,
      lock_wanted ? &package_lock_ : nullptr);
  download_time_us_ = MonotonicMicroseconds() - start;
  if (result != kModuleReady) {
    LOG(ERROR) << "Module was not downloaded: " << path;
    result_code_ = kExitDownloadFailed;
    return result;
  }
  LOG(INFO) << "Module downloaded: " << path;
  extracted_ = !downloaded;
  statistics_->SetParam(kStatNewVersion, FileVersionString(path));
  std::string_view kind = InstallKindForStatistics(
      downloaded, distrib_params_ ? distrib_params_->GetValue("code") : "");
  if (!kind.empty()) {
    statistics_->SetParam(kStatInstallType, base::UTF8ToWide(kind));
  }
  if (downloaded) SendEvent(DownloadFinishedEvent(download_time_us_));
  return kModuleReady;
}

void Installer::StartInstallAsync() {
  ::ResetEvent(stop_event_);
  ::ResetEvent(proceed_event_.Get());
  // An exception ends the thread and leaves the installation undecided.
  if (!install_thread_.Start([this] { Install(); }, ReportInstallException)) {
    PLOG(ERROR) << "Failed to start the install thread";
  }
}

bool Installer::WaitForInstallAsync() {
  if (!install_thread_.started()) return true;
  return install_thread_.Stop(kThreadWaitMs);
}

void Installer::MarkInstallButtonPressed() {
  install_button_time_us_ = MonotonicMicroseconds();
}

void Installer::ProceedWithInstallation() {
  confirmation_time_us_ = MonotonicMicroseconds();
  ::SetEvent(proceed_event_.Get());
}

void Installer::InstallSilently() {
  ::ResetEvent(stop_event_);
  confirmation_time_us_ = MonotonicMicroseconds();
  ::SetEvent(proceed_event_.Get());
  Install();
}

void Installer::SetMakeDefaultBrowser(bool make_default) {
  const int version = inputs_.windows_version;
  if (version == kWindows8 || version == kWindows81) return;
  make_default_browser_ = make_default;
}

bool Installer::CanMakeDefaultBrowser() {
  const int version = inputs_.windows_version;
  if (version < kWindows8) return true;
  if (version == kWindows8 || version == kWindows81) return false;
  uint32_t code = 0;
  const bool available = zarvex::IsInternalInterfaceAvailableSafeCheck(&code);
  interface_availability_ = code;
  return available;
}

InstallerCommandLine Installer::BuildSetupCommandLine(
    const std::wstring& program, bool with_data_files) const {
  SetupCommandLineInputs in;
  in.elevation_refused = elevation_refused_;
  in.progress_window =
      delegate_ ? reinterpret_cast<uintptr_t>(delegate_->GetWindowHandle()) : 0;
  if (brand_info_) in.brand_name = brand_info_->brand_name();
  if (distrib_params_) {
    in.distrib_info_file = distrib_params_->distrib_info_file();
    in.uts2_param = distrib_params_->GetValue("uts2");
  }
  in.make_default_browser = make_default_browser_;
  in.send_statistics = send_statistics_;
  in.create_vessa_shortcut = create_vessa_shortcut_;
  in.disable_vessa_logic = disable_vessa_logic_;
  in.ok_button_pressed_time = install_button_time_us_;
  in.install_start_time = confirmation_time_us_;
  in.interface_availability = interface_availability_;
  in.uac_mode = uac_mode();
  in.abt_config_file = data_files_.path(InstallerDataFiles::kAbtConfig);
  SetupDataFiles& files = in.data_files;
  files.installer_data = data_files_.path(InstallerDataFiles::kInstallerData);
  files.clids = data_files_.path(InstallerDataFiles::kClids);
  files.clids_searchband =
      data_files_.path(InstallerDataFiles::kClidsSearchband);
  files.website_icon = data_files_.path(InstallerDataFiles::kWebsiteIcon);
  if (brand_info_) {
    files.brand_package_loaded = brand_info_->brand_package_loaded();
    files.brand_package = brand_info_->brand_package_path();
    files.partner_package_loaded = brand_info_->partner_package_loaded();
    files.partner_package = brand_info_->partner_package_path();
  }
  files.override_partner_package = override_partner_package_;
  in.has_background_tasks = background_tasks_object_ != nullptr;
  if (background_tasks_object_) {
    in.background_tasks = background_tasks_object_->paths();
  }
  return lite::BuildSetupCommandLine(inputs_.command_line, program,
                                     with_data_files, in);
}

DelayedParams Installer::DelayedParamsForCopy(int64_t download_time_us) const {
  DelayedParams values;
  values.browser_arc_path = module_path_;
  values.clids_file_path = data_files_.path(InstallerDataFiles::kClids);
  values.clids_searchband_file_path =
      data_files_.path(InstallerDataFiles::kClidsSearchband);
  values.zarvex_website_icon_file_path =
      data_files_.path(InstallerDataFiles::kWebsiteIcon);
  values.installer_data_path =
      data_files_.path(InstallerDataFiles::kInstallerData);
  if (brand_info_ && brand_info_->brand_package_loaded()) {
    values.brand_package_path = brand_info_->brand_package_path();
  }
  if (brand_info_ && brand_info_->partner_package_loaded()) {
    values.partner_package_path = brand_info_->partner_package_path();
  }
  values.partner_package_override_path = override_partner_package_;
  values.download_time = std::to_wstring(download_time_us / 1000000);
  values.install_start_time = std::to_wstring(confirmation_time_us_);
  values.send_statistics = send_statistics_;
  values.make_default = make_default_browser_;
  values.create_vessa_shortcut = create_vessa_shortcut_;
  return values;
}

void Installer::Install() {
  RECT screen = {0, 0, ::GetSystemMetrics(SM_CXSCREEN),
                 ::GetSystemMetrics(SM_CYSCREEN)};
  SendEvent(InstallerStartedEvent(
      static_cast<int>(std::lround(inputs_.scale_factor * 100)), screen.right,
      screen.bottom));
  installation_id_ = NewInstallationId();
  if (brand_info_) brand_info_->StoreLanguage();
  data_files_.ExtractInstallerDataIfAbsent(working_directory_);
  if (!IsFullInstallerMode()) {
    data_files_.StoreInRegistry();
    if (brand_info_) brand_info_->StoreInRegistry();
  }

  const int result = InstallBrowser();
  const Outcome outcome =
      OutcomeOf(result, GetSetupFailureReason(),
                ::WaitForSingleObject(stop_event_, 0) == WAIT_OBJECT_0);
  if (delegate_ && outcome.window_outcome) {
    delegate_->OnFinished(*outcome.window_outcome);
  }
  if (outcome.success || IsFullInstallerMode()) {
    InstallerDataFiles::RemoveFromRegistry();
    if (brand_info_) {
      brand_info_->RemoveFromRegistry();
      if (!brand_info_->brand_package_path().empty()) {
        ::DeleteFileW(brand_info_->brand_package_path().c_str());
      }
      if (!brand_info_->partner_package_path().empty()) {
        ::DeleteFileW(brand_info_->partner_package_path().c_str());
      }
    }
  }
  if (delegate_) WatchForBrowser();
  ReportInstallationFinished(outcome.success);
}

Installer::Outcome Installer::OutcomeOf(int install_browser_result,
                                        int32_t failure_reason, bool stopped) {
  Outcome outcome;
  outcome.success = install_browser_result == kInstallSucceeded;
  if (outcome.success) return outcome;
  // A failure after the window was closed is no news to the user, unless
  // the setup's run found a reason of its own.
  if (stopped && failure_reason == kSetupFailureNone) return outcome;
  outcome.window_outcome = install_browser_result == kOutcomeInstallerFailure &&
                                   failure_reason != kSetupFailureNone
                               ? failure_reason
                               : install_browser_result;
  return outcome;
}

void Installer::WatchForBrowser() {
  while (::WaitForSingleObject(stop_event_, BrowserWatchIntervalMs()) ==
         WAIT_TIMEOUT) {
    if (!::FindWindowExW(HWND_MESSAGE, nullptr, kBrowserMessageWindowClass,
                         nullptr)) {
      delegate_->RequestClose(1);
      return;
    }
  }
}

bool Installer::LockModule(const std::wstring& path, bool permanent_lock) {
  constexpr DWORD kReadExecute = GENERIC_READ | GENERIC_EXECUTE;
  if (permanent_lock && package_lock_ && package_lock_->IsValid()) {
    base::ScopedFile shared(::ReOpenFile(package_lock_->handle(), kReadExecute,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE,
                                         0));
    if (!shared.IsValid()) return false;
    package_lock_.reset();
    // Closing `shared` keeps the reopening's error for the caller's log.
    module_lock_.Reset(
        ::ReOpenFile(shared.Get(), kReadExecute, FILE_SHARE_READ, 0));
    return module_lock_.IsValid();
  }
  package_lock_.reset();
  module_lock_.Reset(::CreateFileW(path.c_str(), kReadExecute, FILE_SHARE_READ,
                                   nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
  return module_lock_.IsValid();
}

int Installer::InstallBrowser() {
  LOG(INFO) << "Install Browser.";
  module_path_ = GetModulePath();
  if (module_path_.empty()) return kOutcomeInstallerFailure;
  const bool permanent_lock =
      distrib_params_ &&
      !distrib_params_->GetValue("setup_arc_permanent_lock").empty();
  LOG(INFO) << "Executable path: " << module_path_;
  ::DeleteFileW(module_path_.c_str());

  // The package file goes on every path out of here, its handles first.
  struct Cleanup {
    Installer* installer;
    ~Cleanup() {
      installer->module_lock_.Reset();
      installer->package_lock_.reset();
      ::DeleteFileW(installer->module_path_.c_str());
    }
  } cleanup{this};

  const int64_t t0 = MonotonicMicroseconds();
  if (int code = GetModule(module_path_, permanent_lock)) return code;
  const int64_t t1 = MonotonicMicroseconds();
  HANDLE events[] = {stop_event_, proceed_event_.Get()};
  if (::WaitForMultipleObjects(2, events, FALSE, INFINITE) !=
      WAIT_OBJECT_0 + 1) {
    LOG(ERROR) << "Installation after download event isn't in signal state or "
                  "installation was stopped early.";
    return kOutcomeInstallerFailure;
  }
  const int64_t t2 = MonotonicMicroseconds();

  if (!LockModule(module_path_, permanent_lock)) {
    // Logged first: sending the event may change the last error.
    PLOG(ERROR) << "Cannot lock file: " << module_path_;
    if (permanent_lock) SendEvent(SetupArcLockErrorEvent());
    return kOutcomeInstallerFailure;
  }
  if (!VerifyModule(module_path_)) {
    LOG(ERROR) << "Module verification failed: " << module_path_;
    result_code_ = kExitVerificationFailed;
    SendEvent(VerificationErrorEvent());
    return kOutcomeInstallerFailure;
  }
  LOG(INFO) << "Verification succeeded: " << module_path_;
  const int64_t t3 = MonotonicMicroseconds();
  statistics_->SaveToRegistry();
  const bool update = !statistics_->GetParam(kStatOldVersion).empty();
  SendEvent(SetupLaunchedEvent(
      update, UacStatisticsValue(AreUACNotificationsEnabled(),
                                 elevated_process_ != nullptr)));

  bool ran = false;
  if (elevated_process_) {
    ran = WriteDelayedParams(DelayedParamsForCopy(t1 - t0));
    if (!ran) {
      LOG(ERROR) << "Unexpected error in CreateDelayedParamsMapping()";
    } else {
      ran = RunModuleInElevatedProcess();
    }
  } else {
    InstallerCommandLine command_line =
        BuildSetupCommandLine(module_path_, true);
    ran = RunModule(module_path_, command_line);
  }

  module_lock_.Reset();
  install_time_us_ = MonotonicMicroseconds() - t3;
  SendEvent(SetupExitedEvent(update,
                             SetupExitedError(setup_started_, result_code_),
                             install_time_us_));
  // Waits for the copy to end (see ElevatedProcess).
  elevated_process_.reset();
  if (!ran) return kOutcomeInstallerFailure;

  if (inputs_.command_line.HasSwitch(switches::kDoNotLaunchBrowser) &&
      delegate_) {
    delegate_->SetProgress(100);
    delegate_->RequestClose(1);
    delegate_ = nullptr;
  }
  total_time_us_ = (t1 - t0) + (MonotonicMicroseconds() - t2);
  return kInstallSucceeded;
}

bool Installer::RunModule(const std::wstring& path,
                          const InstallerCommandLine& command_line) {
  InstallerCommandLine copy = command_line;
  copy.SetProgram(path);
  copy.AppendSwitchASCII(switches::kSource,
                         IsFullInstallerMode() ? "full" : "lite");
  return RunModuleAndWait(nullptr, copy.GetCommandLineString(), &result_code_);
}

bool Installer::RunModuleAndWait(const wchar_t* application,
                                 const std::wstring& command_line,
                                 int* exit_code) {
  LOG(INFO) << "Run: " << command_line;
  *exit_code = kExitInstallerUndecided;
  setup_started_ = false;
  base::LaunchOptions options;
  options.application = application;
  options.creation_flags = CREATE_NO_WINDOW;
  const base::Process process = base::Process::Launch(command_line, options);
  if (!process.IsValid()) {
    DWORD error = ::GetLastError();
    SetupFailureReason reason = FailureReasonForCreateProcessError(error);
    if (reason != kSetupFailureNone) SetSetupFailureReason(reason);
    ::SetLastError(error);
    PLOG(ERROR) << "Create process failed.";
    return false;
  }
  setup_started_ = true;
  LOG(INFO) << "Process created: " << static_cast<uint32_t>(process.id());
  if (delegate_) {
    delegate_->SetProgress(40);
    delegate_->OnSetupLaunched();
  }
  LOG(INFO) << "Wait for process finish.";
  bool result = false;
  DWORD code = 0;
  const base::Process::WaitResult waited = process.WaitForExit(INFINITE, &code);
  if (waited == base::Process::WaitResult::kWaitFailed) {
    PLOG(ERROR) << "Wait process failed.";
  } else {
    result = waited == base::Process::WaitResult::kExited;
    if (result) {
      *exit_code = static_cast<int>(code);
    } else {
      PLOG(ERROR) << "Get setup process exit code failed.";
    }
    LOG(INFO) << "Setup process exit with code: "
              << SetupExitCodeName(static_cast<uint32_t>(*exit_code));
    SetupFailureReason reason =
        FailureReasonForExitCode(static_cast<uint32_t>(*exit_code));
    if (reason != kSetupFailureNone) {
      SetSetupFailureReason(reason);
      result = false;
    }
  }
  return result;
}

void Installer::ReportInstallationFinished(bool success) {
  InstallationReport report;
  report.run_id = installation_id_;
  report.cancelled = cancel_count_ > 0;
  report.success = success;
  report.total_time_us = total_time_us_;
  // A package taken from the resources was not downloaded; a download
  // counts its time whether it succeeded or not.
  report.download_time_us = extracted_ ? 0 : download_time_us_;
  report.install_time_us = install_time_us_;
  StringDownloadSink sink;
  if (!Download(BuildInstallationReportUrl(report), &sink)) {
    LOG(ERROR) << "Cannot report installation status: " << download_error_;
  }
}

}  // namespace lite
