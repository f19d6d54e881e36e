#include "lite_installer/elevated_process.h"

#include <windows.h>

#include "base/file_util.h"
#include "base/scoped_handle.h"
#include "base/string_util.h"
#include "lite_installer/installer_switches.h"
#include "lite_util/logging/log_message.h"

namespace lite {

int ExecuteAsAdmin(const InstallerCommandLine& command_line) {
  std::wstring setup_command_line =
      command_line.GetSwitchValue(switches::kSetupCmdLine);
  std::string parent_text =
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

  base::ScopedHandle start_event(
      ::OpenEventA(SYNCHRONIZE, FALSE, kElevatedStartEventName));
  base::ScopedHandle abort_event(
      ::OpenEventA(SYNCHRONIZE, FALSE, kElevatedAbortEventName));
  HANDLE handles[] = {start_event.Get(), abort_event.Get(), parent.Get()};
  DWORD wait = ::WaitForMultipleObjects(3, handles, FALSE, INFINITE);
  if (wait != WAIT_OBJECT_0) {
    LOG(ERROR) << "Installer started as admin has been unexpectedly synced, wr="
               << static_cast<unsigned long>(wait);
    return -1;
  }

  const std::wstring& archive = setup.GetProgram();
  if (!base::FileExists(archive)) {
    LOG(ERROR) << "Browser archive " << archive << " does not exist";
    return -1;
  }
  // Running the setup on the parent's behalf comes with the controller.
  LOG(INFO) << "RunModule results: success=" << false;
  return -1;
}

}  // namespace lite
