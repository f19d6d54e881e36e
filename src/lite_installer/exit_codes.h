// Process exit codes of the installer. Numbers are never reused.
#ifndef LITE_INSTALLER_EXIT_CODES_H_
#define LITE_INSTALLER_EXIT_CODES_H_

namespace lite {

enum ExitCode : int {
  kExitSuccess = 0,
  kExitElevatedCopyFailed = -1,
  kExitInsecureEnvironment = -200,  // a DLL lies beside the executable
  kExitInstallerUndecided = 400,    // installer result before anything ran
  kExitDownloadFailed = 401,
  kExitVerificationFailed = 402,
  kExitNotEnoughDiskSpace = 403,
  kExitProcessorNotSupported = 404,
  kExitWindowsTooOld = 405,
  kExitUserCancelled = 500,
  kExitAnotherInstance = 600,
  kExitInterfaceAvailable = 700,
  kExitInterfaceNotAvailable = 701,
};

}  // namespace lite

#endif  // LITE_INSTALLER_EXIT_CODES_H_
