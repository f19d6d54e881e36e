#include "base/process.h"

namespace base {

Process Process::Launch(const std::wstring& command_line,
                        const LaunchOptions& options) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  // CreateProcessW may write into the command line.
  std::wstring writable = command_line;
  Process process;
  if (!::CreateProcessW(options.application, writable.data(), nullptr, nullptr,
                        FALSE, options.creation_flags, nullptr,
                        options.current_directory, &startup, &info)) {
    return process;
  }
  ScopedHandle thread(info.hThread);
  process.handle_.Reset(info.hProcess);
  process.id_ = info.dwProcessId;
  return process;
}

Process::WaitResult Process::WaitForExit(DWORD timeout_ms,
                                         DWORD* exit_code) const {
  switch (::WaitForSingleObject(handle_.Get(), timeout_ms)) {
    case WAIT_OBJECT_0:
      break;
    case WAIT_TIMEOUT:
      return WaitResult::kTimedOut;
    default:
      return WaitResult::kWaitFailed;
  }
  DWORD code = 0;
  if (!::GetExitCodeProcess(handle_.Get(), &code)) {
    return WaitResult::kNoExitCode;
  }
  *exit_code = code;
  return WaitResult::kExited;
}

bool Process::Terminate(UINT exit_code) const {
  return ::TerminateProcess(handle_.Get(), exit_code) != FALSE;
}

}  // namespace base
