// Whether and when the installer asks for administrator rights: the
// elevation mode, the checks before an elevated restart, and what the
// statistics report about the system's elevation prompts.
#ifndef LITE_INSTALLER_ELEVATION_H_
#define LITE_INSTALLER_ELEVATION_H_

#include <windows.h>

#include <string>

#include "lite_installer/installer_command_line.h"

namespace lite {

class DistribParams;

// Elevation modes.
inline constexpr int kUacAtInstallButton = 0;  // when Install is pressed
inline constexpr int kUacAtWindowCreated = 1;  // as soon as the window exists
inline constexpr int kUacNever = 2;  // the browser asks at its first start

// The window opens directly in its progress layout: "first" is "1", "def"
// is given (1 or 2) and "stat" is given or "statpromo" is present.
bool AutoStartRequested(const DistribParams* distrib_params);

// The elevation mode from the switches and the distribution parameter
// "uac". A value that is not a decimal number in the 32-bit range counts as
// absent (mode 0).
int UacMode(const DistribParams* distrib_params,
            const InstallerCommandLine& command_line);

// Whether the token of `process` holds the built-in Administrators group,
// whatever the group's attributes (a member filtered by UAC counts).
bool IsUserAnAdminGroup(HANDLE process);

// Whether the system shows elevation prompts to administrators
// (ConsentPromptBehaviorAdmin is not 0); logs what it read.
bool AreUACNotificationsEnabled();

// The checks of an elevated restart, in order, each refusal logged:
// Administrators membership, a Windows version after Server 2003, no
// switch of a run that is not an installation, not already the copy.
bool NeedStartThisProcessAsAdmin(bool in_admin_group, int windows_version,
                                 const InstallerCommandLine& command_line);

// The "uac" field of the setup-launched statistics event.
std::wstring UacStatisticsValue(bool notifications_enabled, bool elevated_copy);

}  // namespace lite

#endif  // LITE_INSTALLER_ELEVATION_H_
