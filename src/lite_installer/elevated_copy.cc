#include "lite_installer/elevated_copy.h"

#include <windows.h>

#include <memory>
#include <string>

#include "base/file_util.h"
#include "base/scoped_handle.h"
#include "base/string_util.h"
#include "lite_installer/delayed_params.h"
#include "lite_installer/elevated_process.h"
#include "lite_installer/installer.h"
#include "lite_installer/installer_switches.h"
#include "lite_installer/progress_window_poster.h"
#include "lite_util/logging/log_message.h"
#include "lite_util/windows_version.h"

namespace lite {

int ExecuteAsAdmin(const InstallerCommandLine& command_line) {
  const std::wstring setup_command_line =
      command_line.GetSwitchValue(switches::kSetupCmdLine);
  const std::string parent_text =
      command_line.GetSwitchValueASCII(switches::kParentInstallerProcessId);
  uint32_t parent_id = 0;
  if (!base::StringToUint32(parent_text, &parent_id)) {
    LOG(ERROR) << "Suspicious process id=" << parent_text;
    parent_id = 0;
  }

  base::ScopedHandle parent(::OpenProcess(SYNCHRONIZE, TRUE, parent_id));
  LOG(INFO) << "Start installer as admin";
  InstallerCommandLine setup =
      InstallerCommandLine::FromString(setup_command_line);

  {
    base::ScopedHandle start_event(
        ::OpenEventA(SYNCHRONIZE, FALSE, kElevatedStartEventName));
    base::ScopedHandle abort_event(
        ::OpenEventA(SYNCHRONIZE, FALSE, kElevatedAbortEventName));
    // Ends with the parent at the latest. A handle that could not be opened
    // makes the wait fail at once.
    HANDLE handles[] = {start_event.Get(), abort_event.Get(), parent.Get()};
    const DWORD wait = ::WaitForMultipleObjects(3, handles, FALSE, INFINITE);
    if (wait != WAIT_OBJECT_0) {
      LOG(ERROR)
          << "Installer started as admin has been unexpectedly synced, wr="
          << static_cast<unsigned long>(wait);
      return -1;
    }
  }
  parent.Reset();

  ApplyDelayedParams(setup);
  const std::wstring archive = setup.GetProgram();
  if (!base::FileExists(archive)) {
    LOG(ERROR) << "Browser archive " << archive << " does not exist";
    return -1;
  }

  uint32_t window_value = 0;
  base::StringToUint32(setup.GetSwitchValueASCII(switches::kProgressWindow),
                       &window_value);
  ProgressWindowPoster poster(
      reinterpret_cast<HWND>(static_cast<uintptr_t>(window_value)));
  InstallerInputs inputs;
  inputs.command_line = command_line;
  inputs.windows_version = WindowsVersion();
  auto installer =
      std::make_unique<Installer>(&poster, nullptr, nullptr, false, inputs);

  // The path comes from a process with fewer rights: the package runs here
  // only if it passes the same trust check, and nobody may change it from
  // the check to the start of the setup.
  base::ScopedFile lock(::CreateFileW(
      archive.c_str(), GENERIC_READ | GENERIC_EXECUTE, FILE_SHARE_READ, nullptr,
      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  bool success = false;
  if (!lock.IsValid()) {
    PLOG(ERROR) << "Cannot lock file: " << archive;
  } else if (!installer->VerifyModule(archive)) {
    LOG(ERROR) << "Module verification failed: " << archive;
  } else {
    success = installer->RunModule(archive, setup);
  }
  LOG(INFO) << "RunModule results: success=" << (success ? 1 : 0);
  installer.reset();
  return success ? 0 : -1;
}

}  // namespace lite
