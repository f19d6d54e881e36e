// The whole life of an installer process, in its fixed order.
#ifndef LITE_INSTALLER_STARTUP_H_
#define LITE_INSTALLER_STARTUP_H_

namespace lite {

// Whether the setup package travels in this executable's own resources.
// This build is a lite installer.
constexpr bool IsFullInstallerMode() { return false; }

// Runs the start-up sequence and returns the process exit code.
int RunInstallerProcess();

}  // namespace lite

#endif  // LITE_INSTALLER_STARTUP_H_
