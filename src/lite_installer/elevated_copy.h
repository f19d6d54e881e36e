// The elevated copy of the installer: started by an ordinary installer with
// run-as-admin, it waits for its parent's signal and runs the setup program
// on its behalf (see elevated_process.h for the parent's side).
#ifndef LITE_INSTALLER_ELEVATED_COPY_H_
#define LITE_INSTALLER_ELEVATED_COPY_H_

#include "lite_installer/installer_command_line.h"

namespace lite {

// The elevated copy's branch of the start-up sequence. Returns the process
// exit code: 0 when the setup ran successfully, -1 otherwise.
int ExecuteAsAdmin(const InstallerCommandLine& command_line);

}  // namespace lite

#endif  // LITE_INSTALLER_ELEVATED_COPY_H_
