// The whole life of an installer process, in its fixed order.
#ifndef LITE_INSTALLER_STARTUP_H_
#define LITE_INSTALLER_STARTUP_H_

namespace lite {

// Runs the start-up sequence and returns the process exit code.
int RunInstallerProcess();

}  // namespace lite

#endif  // LITE_INSTALLER_STARTUP_H_
