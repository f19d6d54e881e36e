#include "lite_installer/secure_environment.h"

#include <windows.h>

#include "base/file_util.h"
#include "base/process.h"
#include "base/scoped_handle.h"
#include "lite_installer/installer_switches.h"
#include "lite_installer/setup_command_line.h"

namespace lite {

namespace {

constexpr int32_t kInsecureEnvironmentCode = -200;
constexpr DWORD kSafeSearchModePermanent = 0x8001;  // BASE_SEARCH_PATH_*
constexpr DWORD kSearchSystem32 = 0x800;  // LOAD_LIBRARY_SEARCH_SYSTEM32

using SetSearchPathModeFunction = BOOL(WINAPI*)(DWORD);
using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);

}  // namespace

SecureEnvironmentResult SetUpSecureEnvironment(int32_t* exit_code) {
  *exit_code = 0;
  ::SetDllDirectoryW(L"");

  HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
  auto set_search_path_mode = reinterpret_cast<SetSearchPathModeFunction>(
      reinterpret_cast<void*>(::GetProcAddress(kernel32, "SetSearchPathMode")));
  auto set_default_dll_directories =
      reinterpret_cast<SetDefaultDllDirectoriesFunction>(
          reinterpret_cast<void*>(
              ::GetProcAddress(kernel32, "SetDefaultDllDirectories")));
  if (set_search_path_mode && set_default_dll_directories) {
    bool restricted = set_search_path_mode(kSafeSearchModePermanent) &&
                      set_default_dll_directories(kSearchSystem32);
    return restricted ? SecureEnvironmentResult::kSecured
                      : SecureEnvironmentResult::kNotSecured;
  }

  // Older systems: run from a directory nobody else writes to.
  ::SetDllDirectoryW(L"");
  std::wstring executable = base::GetExecutablePath();
  const InstallerCommandLine& own = InstallerCommandLine::ForCurrentProcess();
  if (!own.HasSwitch(switches::kRunAsAdmin) &&
      !own.HasSwitch(switches::kSpawnedInProtectedDir)) {
    return RunProtectedCopy(executable, base::GetTempDirectory(), own,
                            exit_code);
  }
  return DirectoryHasDll(base::DirectoryPart(executable))
             ? SecureEnvironmentResult::kDllFound
             : SecureEnvironmentResult::kSecured;
}

SecureEnvironmentResult RunProtectedCopy(const std::wstring& executable,
                                         const std::wstring& temp_directory,
                                         const InstallerCommandLine& own,
                                         int32_t* exit_code) {
  *exit_code = 0;
  if (temp_directory.empty()) return SecureEnvironmentResult::kNotSecured;
  std::wstring directory = base::CreateUniqueDirectory(temp_directory);
  if (directory.empty()) return SecureEnvironmentResult::kNotSecured;

  std::wstring copy = directory + L"\\" + base::FileNamePart(executable);
  if (!::CopyFileW(executable.c_str(), copy.c_str(), TRUE)) {
    base::DeleteDirectoryRecursive(directory);
    return SecureEnvironmentResult::kNotSecured;
  }
  // Should anything below fail to clean up, the next restart does.
  ::MoveFileExW(copy.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  ::MoveFileExW(directory.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);

  std::wstring command_line =
      BuildProtectedCopyCommandLine(own, copy).GetCommandLineString();
  base::LaunchOptions options;
  options.application = copy.c_str();
  options.current_directory = directory.c_str();
  SecureEnvironmentResult result = SecureEnvironmentResult::kNotSecured;
  if (const base::Process process =
          base::Process::Launch(command_line, options);
      process.IsValid()) {
    // The copy is this program itself: it takes as long as the user does.
    DWORD code = 0;
    if (process.WaitForExit(INFINITE, &code) !=
        base::Process::WaitResult::kExited) {
      result = SecureEnvironmentResult::kInsecure;
    } else {
      *exit_code = static_cast<int32_t>(code);
      result = *exit_code == kInsecureEnvironmentCode
                   ? SecureEnvironmentResult::kInsecure
                   : SecureEnvironmentResult::kCopyFinished;
    }
  }
  base::DeleteDirectoryRecursive(directory);
  return result;
}

bool DirectoryHasDll(const std::wstring& directory) {
  WIN32_FIND_DATAW data;
  std::wstring pattern = directory + L"\\*.dll";
  base::ScopedFindHandle find(::FindFirstFileW(pattern.c_str(), &data));
  if (!find.IsValid()) return false;
  bool found = false;
  do {
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) found = true;
  } while (!found && ::FindNextFileW(find.Get(), &data));
  return found;
}

}  // namespace lite
