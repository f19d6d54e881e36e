#include "lite_installer/setup_command_line.h"

#include "gtest/gtest.h"

namespace lite {
namespace {

TEST(SetupCommandLineTest, PassesOwnSwitchesOnAndAppliesTheRules) {
  InstallerCommandLine own = InstallerCommandLine::FromString(
      L"inst.exe --semi-silent --unknown=1 --send-statistics "
      L"--brand-name=old keep.txt");
  SetupCommandLineInputs in;
  in.elevation_refused = true;
  in.progress_window = 0x1234;
  in.brand_name = "zarvex";
  in.distrib_info_file = L"C:\\t\\distr info.json";
  in.make_default_browser = true;
  in.send_statistics = false;  // removes the switch the installer was given
  in.ok_button_pressed_time = -5;
  in.install_start_time = 0;
  in.interface_availability = 171340319;
  in.uac_mode = 2;
  in.uts2_param = "1";
  InstallerCommandLine setup =
      BuildSetupCommandLine(own, L"C:\\t\\setup.exe", false, in);

  EXPECT_EQ(setup.GetCommandLineString(),
            L"\"C:\\t\\setup.exe\" --brand-name=zarvex --disable-uac "
            L"--distr-info-file=\"C:\\t\\distr info.json\" "
            L"--make-browser-default-after-import --ok-button-pressed-time=-5 "
            L"--progress-window=4660 --semi-silent --show-uac-at-browser-start "
            L"--silent --the-interface-availability=171340319 --uac-enabled "
            L"--unknown=1 --use-task-scheduler2 --verbose-logging");
}

TEST(SetupCommandLineTest, DataFilesAndBackgroundTasks) {
  SetupCommandLineInputs in;
  in.brand_name = "b";
  in.data_files.installer_data = L"C:\\t\\installerdata";
  in.data_files.brand_package_loaded = true;
  in.data_files.brand_package = L"C:\\t\\brand";
  in.data_files.partner_package = L"C:\\t\\unused";  // not loaded
  in.has_background_tasks = true;
  in.background_tasks.webntp = L"C:\\t\\ntp";
  in.uts2_param = "11";
  InstallerCommandLine setup =
      BuildSetupCommandLine(InstallerCommandLine(), L"s.exe", true, in);
  EXPECT_EQ(
      setup.GetCommandLineString(),
      L"s.exe --brand-name=b --brand-package=\"C:\\t\\brand\" --clids-file "
      L"--installerdata=\"C:\\t\\installerdata\" --progress-window=0 "
      L"--verbose-logging --webntp-path=\"C:\\t\\ntp\"");

  InstallerCommandLine without =
      BuildSetupCommandLine(InstallerCommandLine(), L"s.exe", false, in);
  EXPECT_FALSE(without.HasSwitch("installerdata"));
  EXPECT_FALSE(without.HasSwitch("clids-file"));
}

TEST(SetupCommandLineTest, OtherProcesses) {
  InstallerCommandLine own =
      InstallerCommandLine::FromString(L"C:\\i.exe --silent");
  InstallerCommandLine setup;
  setup.SetProgram(L"fake_browser_arc");
  setup.AppendSwitch("verbose-logging");
  EXPECT_EQ(
      BuildElevatedCopyCommandLine(own, 77, setup).GetCommandLineString(),
      L" --parent-installer-process-id=77 --run-as-admin "
      L"--setup-cmd-line=\"fake_browser_arc --verbose-logging\" --silent");
  EXPECT_EQ(BuildProtectedCopyCommandLine(own, L"C:\\T\\x\\i.exe")
                .GetCommandLineString(),
            L"\"C:\\T\\x\\i.exe\" --silent --spawned_in_protected_dir");
  EXPECT_EQ(BuildInterfaceProbeCommandLine(L"C:\\i.exe").GetCommandLineString(),
            L"\"C:\\i.exe\" --check-the-interface");
}

TEST(SetupCommandLineTest, InstallTypeNames) {
  EXPECT_EQ(InstallTypeName(0), "lite");
  EXPECT_EQ(InstallTypeName(1), "full");
  EXPECT_EQ(InstallTypeName(5), "browser_diagnostics");
  EXPECT_EQ(InstallTypeName(-1), "-1");
  EXPECT_EQ(InstallTypeName(6), "6");
}

}  // namespace
}  // namespace lite
