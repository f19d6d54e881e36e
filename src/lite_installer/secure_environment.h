// Keeps DLLs that lie beside the executable or in the current directory from
// being loaded into the installer.
#ifndef LITE_INSTALLER_SECURE_ENVIRONMENT_H_
#define LITE_INSTALLER_SECURE_ENVIRONMENT_H_

#include <cstdint>
#include <string>

#include "lite_installer/installer_command_line.h"

namespace lite {

enum class SecureEnvironmentResult {
  // The protected copy reported an insecure environment (-200), or waiting
  // for it failed: exit with the out-value.
  kInsecure = 0,
  // Neither a restricted DLL search nor a protected copy: go on.
  kNotSecured = 1,
  // The DLL search is restricted, or this is the protected or elevated copy
  // with no DLL beside it: go on.
  kSecured = 2,
  // This is the protected or elevated copy and a DLL lies beside it.
  kDllFound = 3,
  // The protected copy ran; exit with its exit code.
  kCopyFinished = 4,
};

// Runs before anything else, on the process's own command line. `exit_code`
// receives the protected copy's exit code where there is one, else 0.
SecureEnvironmentResult SetUpSecureEnvironment(int32_t* exit_code);

// The steps below are used by SetUpSecureEnvironment and are open to tests.

// Copies `executable` into a new directory under `temp_directory`, runs the
// copy with `own` plus spawned_in_protected_dir (the new directory as its
// current directory), waits for it and removes the directory again.
SecureEnvironmentResult RunProtectedCopy(const std::wstring& executable,
                                         const std::wstring& temp_directory,
                                         const InstallerCommandLine& own,
                                         int32_t* exit_code);

// True when `directory` holds at least one file matching "*.dll".
bool DirectoryHasDll(const std::wstring& directory);

}  // namespace lite

#endif  // LITE_INSTALLER_SECURE_ENVIRONMENT_H_
