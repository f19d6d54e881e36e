#include "lite_installer/startup.h"

#include <windows.h>

#include <commctrl.h>
#include <objbase.h>
// GDI+ headers expect min/max.
#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>

#include <memory>

#include "base/file_util.h"
#include "base/scoped_handle.h"
#include "lite_installer/brand/brand_info.h"
#include "lite_installer/brand/distrib_params.h"
#include "lite_installer/elevated_copy.h"
#include "lite_installer/exit_codes.h"
#include "lite_installer/install_details.h"
#include "lite_installer/installer.h"
#include "lite_installer/installer_command_line.h"
#include "lite_installer/installer_switches.h"
#include "lite_installer/secure_environment.h"
#include "lite_installer/shared_sections.h"
#include "lite_installer/ui/main_window.h"
#include "lite_installer/ui/message_dialogs.h"
#include "lite_installer/ui_language.h"
#include "lite_util/crash_reporter/crash_reporter.h"
#include "lite_util/logging/file_logger.h"
#include "lite_util/logging/log_message.h"
#include "lite_util/system_checks.h"
#include "zarvex/util/application_association_registration_internal.h"

// The start-up sequence is the body of wWinMain and logs under its name.
#undef LITE_LOG_FUNCTION
#define LITE_LOG_FUNCTION "wWinMain"

namespace lite {

namespace {

constexpr wchar_t kSingleInstanceMutexName[] =
    L"Local\\ZarvexBrowserLiteInstallerMutex-E523E369-4A72-4B13-AD57-"
    L"5B956174172A";
constexpr uint32_t kMaxLogSize = 1048576;
constexpr uint64_t kRequiredDiskSpace = 629145600;  // 600 MiB

// COM, common controls and GDI+ for the windows of this process; torn down
// on every path out of the sequence.
class UserInterfaceEnvironment {
 public:
  UserInterfaceEnvironment() {
    ::CoInitialize(nullptr);
    ::DefWindowProcW(nullptr, 0, 0, 0);
    INITCOMMONCONTROLSEX controls = {sizeof(controls),
                                     ICC_LINK_CLASS | ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&controls);
    Gdiplus::GdiplusStartupInput input;
    gdiplus_started_ = Gdiplus::GdiplusStartup(&gdiplus_token_, &input,
                                               nullptr) == Gdiplus::Ok;
  }
  ~UserInterfaceEnvironment() {
    if (gdiplus_started_) Gdiplus::GdiplusShutdown(gdiplus_token_);
    ::CoUninitialize();
  }
  UserInterfaceEnvironment(const UserInterfaceEnvironment&) = delete;
  UserInterfaceEnvironment& operator=(const UserInterfaceEnvironment&) = delete;

 private:
  ULONG_PTR gdiplus_token_ = 0;
  bool gdiplus_started_ = false;
};

// The single-instance lock: acquired without waiting, released (only if
// acquired) and closed when the sequence ends.
class SingleInstanceLock {
 public:
  SingleInstanceLock()
      : mutex_(::CreateMutexW(nullptr, FALSE, kSingleInstanceMutexName)) {
    acquired_ = mutex_.IsValid() &&
                ::WaitForSingleObject(mutex_.Get(), 0) == WAIT_OBJECT_0;
  }
  ~SingleInstanceLock() {
    if (acquired_) ::ReleaseMutex(mutex_.Get());
  }
  SingleInstanceLock(const SingleInstanceLock&) = delete;
  SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

  bool acquired() const { return acquired_; }

 private:
  base::ScopedHandle mutex_;
  bool acquired_ = false;
};

int InstallSilently(const BrandInfo& brand_info,
                    const DistribParams& distrib_params,
                    const InstallerInputs& inputs) {
  LOG(INFO) << "Installing in silent mode.";
  const InstallerCommandLine& command_line = inputs.command_line;
  auto installer = std::make_unique<Installer>(nullptr, &brand_info,
                                               &distrib_params, true, inputs);
  installer->SetMakeDefaultBrowser(
      command_line.HasSwitch(switches::kMakeBrowserDefaultAfterImport));
  installer->SetSendStatistics(
      command_line.HasSwitch(switches::kSendStatistics) ||
      brand_info.SendStatisticsEnabled());
  installer->InstallSilently();
  return installer->result_code();
}

int InstallInteractively(const BrandInfo& brand_info,
                         const DistribParams& distrib_params,
                         const InstallerInputs& inputs) {
  auto window =
      std::make_unique<MainWindow>(brand_info, distrib_params, inputs, true);
  if (window->RunModal() == MainWindow::kEndInstalled) {
    return window->installer()->result_code();
  }
  LOG(INFO) << "User cancelled installation.";
  return kExitUserCancelled;
}

}  // namespace

int RunInstallerProcess() {
  int32_t secure_exit_code = 0;
  SecureEnvironmentResult secure_result =
      SetUpSecureEnvironment(&secure_exit_code);

  auto crash_reporter =
      std::make_unique<CrashReporter>(InstallDetails::Get().product_version());
  crash_reporter->SetParameter("ptype", "installer");

  SetLogger(std::make_unique<FileLogger>(
      LogFilePath(base::GetTempDirectory(),
                  InstallDetails::Get().install_suffix()),
      kMaxLogSize));
  LOG(INFO) << "-------------------------------------- Start install.";

  const InstallerCommandLine& command_line =
      InstallerCommandLine::ForCurrentProcess();
  if (command_line.HasSwitch(switches::kCheckTheInterface)) {
    int code = zarvex::IsInternalInterfaceAvailable()
                   ? kExitInterfaceAvailable
                   : kExitInterfaceNotAvailable;
    LOG(INFO) << "Handled non install cmd line option by win10 default "
                 "browser helper, ret code: "
              << code;
    return code;
  }

  switch (secure_result) {
    case SecureEnvironmentResult::kInsecure:
      LOG(INFO) << "Exiting, because of insecure environment.";
      return secure_exit_code;
    case SecureEnvironmentResult::kNotSecured:
      LOG(INFO) << "Can't find secure environment.";
      break;
    case SecureEnvironmentResult::kSecured:
      LOG(INFO) << "Runned in secure environment.";
      break;
    case SecureEnvironmentResult::kDllFound:
      LOG(INFO) << "Exiting, DLL files found in working directory";
      return kExitInsecureEnvironment;
    case SecureEnvironmentResult::kCopyFinished:
      return secure_exit_code;
  }

  if (command_line.HasSwitch(switches::kRunAsAdmin)) {
    return ExecuteAsAdmin(command_line);
  }

  UserInterfaceEnvironment ui_environment;
  LOG(INFO) << (IsFullInstallerMode() ? "Full installer mode."
                                      : "Lite installer mode.");

  SingleInstanceLock lock;
  if (!lock.acquired()) {
    LOG(INFO) << "Another installer instance is already running.";
    uint32_t master = ReadMasterProcessId();
    LOG(INFO) << "Master installer process id: " << master;
    BringProcessWindowToTop(master);
    return kExitAnotherInstance;
  }

  uint32_t process_id = ::GetCurrentProcessId();
  WriteMasterProcessId(process_id);
  LOG(INFO) << "Installer process id: " << process_id;
  const bool silent = command_line.HasSwitch(switches::kSilent);
  const bool system_level = command_line.HasSwitch(switches::kSystemLevel);
  const std::string brand_name =
      command_line.GetSwitchValueASCII(switches::kBrandName);

  std::wstring temp_path = base::GetTempDirectory();
  LOG(INFO) << "Temporary path is: " << temp_path;
  auto distrib_params = std::make_unique<DistribParams>();
  distrib_params->LoadDistribParams();
  auto brand_info = std::make_unique<BrandInfo>(temp_path);
  brand_info->GetInfo(brand_name);
  std::string language = distrib_params->GetValue("lang");
  if (!language.empty()) brand_info->set_language(language);
  brand_info->FillDefaults();

  const int windows_version = WindowsVersion();
  for (const auto& [key, value] : distrib_params->params()) {
    crash_reporter->SetParameter(key, value);
  }
  crash_reporter->SetParameter("brand_id", brand_info->brand_id());
  crash_reporter->SetParameter("brand_name", brand_info->brand_name());
  crash_reporter->SetParameter("default_language", brand_info->language());

  if (IsFullInstallerMode() && windows_version <= kWindowsVista) {
    if (!silent) {
      ShowOldWindowsNotice(brand_info->language(), brand_info->brand_id());
    }
    return kExitWindowsTooOld;
  }

  int processor_message = 0;
  if (!IsProcessorSupported(&processor_message)) {
    PLOG(ERROR) << "CPU is not supported";
    if (!silent) ShowProcessorNotice(processor_message, brand_info->language());
    return kExitProcessorNotSupported;
  }

  const bool enough_disk_space =
      HasEnoughDiskSpace(system_level, kRequiredDiskSpace);

  // The controller takes what it needs of this process from here.
  InstallerInputs inputs;
  inputs.command_line = command_line;
  inputs.windows_version = windows_version;
  inputs.scale_factor = ScaleFactor();
  inputs.executable_path = base::GetExecutablePath();
  int exit_code;
  if (silent) {
    exit_code = InstallSilently(*brand_info, *distrib_params, inputs);
  } else if (enough_disk_space) {
    exit_code = InstallInteractively(*brand_info, *distrib_params, inputs);
  } else {
    ShowDiskSpaceNotice(brand_info->language());
    exit_code = kExitNotEnoughDiskSpace;
  }
  LOG(INFO) << "Installer exit with code: " << exit_code;
  return exit_code;
}

}  // namespace lite
