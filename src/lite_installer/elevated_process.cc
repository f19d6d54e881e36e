#include "lite_installer/elevated_process.h"

#include <utility>

#include "lite_util/logging/log_message.h"

namespace lite {

ElevatedProcess::ElevatedProcess(DWORD finish_timeout_ms)
    : finish_timeout_ms_(finish_timeout_ms),
      start_event_(
          ::CreateEventA(nullptr, FALSE, FALSE, kElevatedStartEventName)),
      abort_event_(
          ::CreateEventA(nullptr, FALSE, FALSE, kElevatedAbortEventName)) {}

void ElevatedProcess::Init(HANDLE process, HWND owner_window) {
  process_.Reset(process);
  owner_window_.Reset(owner_window);
}

ElevatedProcess::~ElevatedProcess() {
  if (process_.IsValid()) {
    // The copy still waits: dismiss it, then give it the time to go.
    if (!signalled_) ::SetEvent(abort_event_.Get());
    EnsureProcessFinished();
  }
  // Otherwise the members close the events and the window.
}

bool ElevatedProcess::RunModule(HANDLE stop_event) {
  signalled_ = true;
  ::SetEvent(start_event_.Get());
  // Ends with the copy (which ends with the setup it runs) or when the
  // installer is stopped.
  HANDLE handles[] = {stop_event, process_.Get()};
  const DWORD wait = ::WaitForMultipleObjects(2, handles, FALSE, INFINITE);
  if (wait == WAIT_OBJECT_0 + 1) {
    DWORD code = 0;
    if (::GetExitCodeProcess(process_.Get(), &code)) {
      exit_code_ = static_cast<int32_t>(code);
    } else {
      PLOG(ERROR) << "Failed to get exit code of the elevated installer.";
      exit_code_ = -1;
    }
    return exit_code_ == 0;
  }
  if (wait == WAIT_OBJECT_0) {
    LOG(ERROR) << "The elevated installer was terminated due to stop event.";
  }
  return false;
}

void ElevatedProcess::EnsureProcessFinished() {
  if (process_.IsValid() &&
      ::WaitForSingleObject(process_.Get(), finish_timeout_ms_) ==
          WAIT_TIMEOUT) {
    hung_ = true;
    LOG(ERROR) << "The elevated installer hangs and must be forcibly "
                  "terminated.";
    ::TerminateProcess(process_.Get(), 0);
  }
  process_.Reset();
  start_event_.Reset();
  abort_event_.Reset();
  owner_window_.Reset();
}

}  // namespace lite
