// The elevated copy of the installer: started by an ordinary installer with
// run-as-admin, it waits for its parent's signal and runs the setup program
// on its behalf.
#ifndef LITE_INSTALLER_ELEVATED_PROCESS_H_
#define LITE_INSTALLER_ELEVATED_PROCESS_H_

#include "lite_installer/installer_command_line.h"

namespace lite {

// Names of the events between an installer and its elevated copy.
inline constexpr char kElevatedStartEventName[] =
    "0c0f0f0d-6434-4cfd-a5e9-23e9ca4d94b6";
inline constexpr char kElevatedAbortEventName[] =
    "fef32d6d-67e9-4654-b314-6c72098ff5d1";

// The elevated copy's branch of the start-up sequence. Returns the process
// exit code: 0 when the setup ran successfully, -1 otherwise.
int ExecuteAsAdmin(const InstallerCommandLine& command_line);

}  // namespace lite

#endif  // LITE_INSTALLER_ELEVATED_PROCESS_H_
