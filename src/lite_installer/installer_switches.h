// Names of the switches the installer reads or writes (without prefix).
#ifndef LITE_INSTALLER_INSTALLER_SWITCHES_H_
#define LITE_INSTALLER_INSTALLER_SWITCHES_H_

#include <array>

namespace lite::switches {

inline constexpr char kAbtConfigResourceFile[] = "abt-config-resource-file";
inline constexpr char kAbtUpdatePath[] = "abt-update-path";
inline constexpr char kBrandName[] = "brand-name";
inline constexpr char kBrandPackage[] = "brand-package";
inline constexpr char kCheckTheInterface[] = "check-the-interface";
inline constexpr char kClidsFile[] = "clids-file";
inline constexpr char kClidsSearchbandFile[] = "clids-searchband-file";
inline constexpr char kCreateVessaShortcutInTaskbar[] =
    "create-vessa-shortcut-in-taskbar";
inline constexpr char kDisableUac[] = "disable-uac";
inline constexpr char kDisableVessaLogicApply[] = "disable-vessa-logic-apply";
inline constexpr char kDistrInfoFile[] = "distr-info-file";
inline constexpr char kDistrInfoParams[] = "distr-info-params";
inline constexpr char kDoNotLaunchBrowser[] = "do-not-launch-browser";
inline constexpr char kDownloadX32[] = "download-x32";
inline constexpr char kDownloadX64[] = "download-x64";
inline constexpr char kForceDeviceScaleFactor[] = "force-device-scale-factor";
inline constexpr char kHistogramDownloadTime[] = "histogram-download-time";
inline constexpr char kInstallStartTimeNoUac[] = "install-start-time-no-uac";
inline constexpr char kInstallerData[] = "installerdata";
inline constexpr char kMakeBrowserDefaultAfterImport[] =
    "make-browser-default-after-import";
inline constexpr char kMsiDatabase[] = "msi-database";
inline constexpr char kPartnerPackageGuid[] = "partner-package-guid";
inline constexpr char kOkButtonPressedTime[] = "ok-button-pressed-time";
inline constexpr char kOverridePartnerPackage[] = "override-partner-package";
inline constexpr char kParentInstallerProcessId[] =
    "parent-installer-process-id";
inline constexpr char kPartnerPackage[] = "partner-package";
inline constexpr char kPreloadedWallpaperBundlePath[] =
    "preloaded-wallpaper-bundle-path";
inline constexpr char kProgramFilesInstallation[] =
    "program-files-installation";
inline constexpr char kProgressWindow[] = "progress-window";
inline constexpr char kRunAsAdmin[] = "run-as-admin";
inline constexpr char kSemiSilent[] = "semi-silent";
inline constexpr char kSendStatistics[] = "send-statistics";
inline constexpr char kServerConfigBundlePath[] = "server-config-bundle-path";
inline constexpr char kSetupCmdLine[] = "setup-cmd-line";
inline constexpr char kShowUacAtBrowserStart[] = "show-uac-at-browser-start";
inline constexpr char kSilent[] = "silent";
inline constexpr char kSource[] = "source";
inline constexpr char kSpawnedInProtectedDir[] = "spawned_in_protected_dir";
inline constexpr char kSystemLevel[] = "system-level";
inline constexpr char kTheInterfaceAvailability[] =
    "the-interface-availability";
inline constexpr char kUacEnabled[] = "uac-enabled";
inline constexpr char kUseTaskScheduler2[] = "use-task-scheduler2";
inline constexpr char kVariationsUpdatePath[] = "variations-update-path";
inline constexpr char kVerboseLogging[] = "verbose-logging";
inline constexpr char kWebntpPath[] = "webntp-path";
inline constexpr char kZarvexWebsiteIconFile[] = "zarvex-website-icon-file";

// Marks of a run that is not an installation; only their presence is tested,
// in this order.
inline constexpr std::array<const char*, 17> kNonInstallSwitches = {
    "update-setup-exe",
    "show-eula",
    "configure-user-settings",
    "register-dev-chrome",
    "register-browser-browser",
    "rename-browser-exe",
    "on-os-upgrade",
    "fake-rename-zarvex-internet",
    "patch",
    "reenable-autoupdates",
    "simulate-crash",
    "delete-old-versions",
    "set-as-default-browser",
    "set-as-default-browser-dll",
    "pttw1",
    "pwattw1",
    "pttw0",
};

}  // namespace lite::switches

#endif  // LITE_INSTALLER_INSTALLER_SWITCHES_H_
