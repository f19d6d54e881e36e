#include "lite_installer/setup_command_line.h"

#include "base/string_util.h"
#include "lite_installer/installer_switches.h"

namespace lite {

namespace {

void SetIfNotEmpty(InstallerCommandLine& command_line, const char* name,
                   const std::wstring& value) {
  if (!value.empty()) command_line.AppendSwitchValue(name, value);
}

void SetIfNotZero(InstallerCommandLine& command_line, const char* name,
                  int64_t value) {
  if (value != 0) {
    command_line.AppendSwitchASCII(name, base::NumberToString(value));
  }
}

}  // namespace

InstallerCommandLine BuildSetupCommandLine(const InstallerCommandLine& own,
                                           const std::wstring& program,
                                           bool with_data_files,
                                           const SetupCommandLineInputs& in) {
  namespace sw = switches;
  InstallerCommandLine command_line = own;
  command_line.SetProgram(program);
  if (in.elevation_refused) command_line.AppendSwitch(sw::kDisableUac);
  command_line.AppendSwitchASCII(
      sw::kProgressWindow,
      base::NumberToString(static_cast<uint64_t>(in.progress_window)));
  command_line.AppendSwitch(sw::kVerboseLogging);
  command_line.AppendSwitchASCII(sw::kBrandName, in.brand_name);
  SetIfNotEmpty(command_line, sw::kDistrInfoFile, in.distrib_info_file);
  command_line.SetOrRemoveSwitch(in.make_default_browser,
                                 sw::kMakeBrowserDefaultAfterImport);
  command_line.SetOrRemoveSwitch(in.send_statistics, sw::kSendStatistics);
  command_line.SetOrRemoveSwitch(in.create_vessa_shortcut,
                                 sw::kCreateVessaShortcutInTaskbar);
  command_line.SetOrRemoveSwitch(in.disable_vessa_logic,
                                 sw::kDisableVessaLogicApply);
  SetIfNotZero(command_line, sw::kOkButtonPressedTime,
               in.ok_button_pressed_time);
  SetIfNotZero(command_line, sw::kInstallStartTimeNoUac, in.install_start_time);
  SetIfNotZero(command_line, sw::kTheInterfaceAvailability,
               in.interface_availability);
  SetIfNotEmpty(command_line, sw::kAbtConfigResourceFile, in.abt_config_file);

  if (with_data_files) {
    const SetupDataFiles& files = in.data_files;
    command_line.AppendSwitchValue(sw::kInstallerData, files.installer_data);
    command_line.AppendSwitchValue(sw::kClidsFile, files.clids);
    SetIfNotEmpty(command_line, sw::kClidsSearchbandFile,
                  files.clids_searchband);
    SetIfNotEmpty(command_line, sw::kZarvexWebsiteIconFile, files.website_icon);
    if (files.brand_package_loaded) {
      command_line.AppendSwitchValue(sw::kBrandPackage, files.brand_package);
    }
    if (files.partner_package_loaded) {
      command_line.AppendSwitchValue(sw::kPartnerPackage,
                                     files.partner_package);
    }
    SetIfNotEmpty(command_line, sw::kOverridePartnerPackage,
                  files.override_partner_package);
  }

  if (in.uac_mode == 2) command_line.AppendSwitch(sw::kShowUacAtBrowserStart);
  if (in.uts2_param == "1") command_line.AppendSwitch(sw::kUseTaskScheduler2);

  if (in.has_background_tasks) {
    const BackgroundTaskPaths& tasks = in.background_tasks;
    SetIfNotEmpty(command_line, sw::kVariationsUpdatePath,
                  tasks.variations_update);
    SetIfNotEmpty(command_line, sw::kAbtUpdatePath, tasks.abt_update);
    SetIfNotEmpty(command_line, sw::kWebntpPath, tasks.webntp);
    SetIfNotEmpty(command_line, sw::kServerConfigBundlePath,
                  tasks.server_config_bundle);
    SetIfNotEmpty(command_line, sw::kPreloadedWallpaperBundlePath,
                  tasks.preloaded_wallpaper_bundle);
  }
  return command_line;
}

std::string InstallTypeName(int type) {
  static const char* const kNames[] = {"lite",          "full",
                                       "updater",       "service",
                                       "service_audit", "browser_diagnostics"};
  if (type >= 0 && type < static_cast<int>(std::size(kNames))) {
    return kNames[type];
  }
  return base::NumberToString(static_cast<int64_t>(type));
}

InstallerCommandLine BuildElevatedCopyCommandLine(
    const InstallerCommandLine& own, uint32_t own_process_id,
    const InstallerCommandLine& setup_command_line) {
  InstallerCommandLine command_line = own;
  command_line.AppendSwitch(switches::kRunAsAdmin);
  command_line.AppendSwitchASCII(switches::kParentInstallerProcessId,
                                 base::NumberToString(own_process_id));
  command_line.AppendSwitchValue(switches::kSetupCmdLine,
                                 setup_command_line.GetCommandLineString());
  command_line.SetProgram(L"");
  return command_line;
}

InstallerCommandLine BuildProtectedCopyCommandLine(
    const InstallerCommandLine& own, const std::wstring& copy_path) {
  InstallerCommandLine command_line = own;
  command_line.SetProgram(copy_path);
  command_line.AppendSwitch(switches::kSpawnedInProtectedDir);
  return command_line;
}

InstallerCommandLine BuildInterfaceProbeCommandLine(
    const std::wstring& executable) {
  InstallerCommandLine command_line;
  command_line.SetProgram(executable);
  command_line.AppendSwitch(switches::kCheckTheInterface);
  return command_line;
}

}  // namespace lite
