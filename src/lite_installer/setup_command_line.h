// Command lines the installer writes for other processes: the setup
// program, its elevated copy, the protected copy and the interface probe.
#ifndef LITE_INSTALLER_SETUP_COMMAND_LINE_H_
#define LITE_INSTALLER_SETUP_COMMAND_LINE_H_

#include <cstdint>
#include <string>

#include "lite_installer/installer_command_line.h"

namespace lite {

// Paths of the data files written for the setup.
struct SetupDataFiles {
  std::wstring installer_data;
  std::wstring clids;
  std::wstring clids_searchband;
  std::wstring website_icon;
  bool brand_package_loaded = false;
  std::wstring brand_package;
  bool partner_package_loaded = false;
  std::wstring partner_package;
  std::wstring override_partner_package;
};

// Results of the background install tasks (empty when a task produced
// nothing).
struct BackgroundTaskPaths {
  std::wstring variations_update;
  std::wstring abt_update;
  std::wstring webntp;
  std::wstring server_config_bundle;
  std::wstring preloaded_wallpaper_bundle;
};

// The installer's state that shapes the setup's command line.
struct SetupCommandLineInputs {
  bool elevation_refused = false;
  uintptr_t progress_window = 0;  // 0 without a delegate
  std::string brand_name;
  std::wstring distrib_info_file;  // empty when none was written
  bool make_default_browser = false;
  bool send_statistics = false;
  bool create_vessa_shortcut = false;
  bool disable_vessa_logic = false;
  int64_t ok_button_pressed_time = 0;
  int64_t install_start_time = 0;
  int64_t interface_availability = 0;
  std::wstring abt_config_file;
  SetupDataFiles data_files;
  int uac_mode = 0;
  std::string uts2_param;  // distribution parameter "uts2"
  bool has_background_tasks = false;
  BackgroundTaskPaths background_tasks;
};

// Builds the setup's command line from `own` (the installer's own command
// line; every switch it carries is passed on unless changed here).
InstallerCommandLine BuildSetupCommandLine(const InstallerCommandLine& own,
                                           const std::wstring& program,
                                           bool with_data_files,
                                           const SetupCommandLineInputs& in);

// Install type names: 0 "lite", 1 "full", 2 "updater", 3 "service",
// 4 "service_audit", 5 "browser_diagnostics"; anything else in decimal.
std::string InstallTypeName(int type);

// The elevated copy's parameters: `own` plus run-as-admin, the parent's
// process id and the prepared setup command line, with the program emptied.
InstallerCommandLine BuildElevatedCopyCommandLine(
    const InstallerCommandLine& own, uint32_t own_process_id,
    const InstallerCommandLine& setup_command_line);

// The protected copy: `own` with program `copy_path` and
// spawned_in_protected_dir.
InstallerCommandLine BuildProtectedCopyCommandLine(
    const InstallerCommandLine& own, const std::wstring& copy_path);

// The interface probe: program `executable` and check-the-interface only.
InstallerCommandLine BuildInterfaceProbeCommandLine(
    const std::wstring& executable);

}  // namespace lite

#endif  // LITE_INSTALLER_SETUP_COMMAND_LINE_H_
