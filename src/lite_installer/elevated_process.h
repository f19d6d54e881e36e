// The installer's side of its elevated copy: the two named events that
// release or dismiss the copy, waiting for the copy's run of the setup, and
// making sure the copy is gone when the installer no longer needs it.
//
// The handshake: the installer creates the events (at construction) and
// starts the copy, which waits for the start event, the abort event or the
// installer's end. After it has written the delayed parameters block the
// installer sets the start event (RunModule) and waits for the copy. An
// object destroyed without having released the copy sets the abort event
// instead. Either way the destructor waits up to kFinishTimeoutMs for the
// copy and terminates it when it is still there.
#ifndef LITE_INSTALLER_ELEVATED_PROCESS_H_
#define LITE_INSTALLER_ELEVATED_PROCESS_H_

#include <windows.h>

#include <cstdint>

#include "base/scoped_handle.h"
#include "base/scoped_window.h"

namespace lite {

// Names of the events between an installer and its elevated copy.
inline constexpr char kElevatedStartEventName[] =
    "0c0f0f0d-6434-4cfd-a5e9-23e9ca4d94b6";
inline constexpr char kElevatedAbortEventName[] =
    "fef32d6d-67e9-4654-b314-6c72098ff5d1";

class ElevatedProcess {
 public:
  static constexpr DWORD kFinishTimeoutMs = 30000;

  // Creates both events: default security, auto-reset, not signalled.
  // `finish_timeout_ms`: how long EnsureProcessFinished waits (shorter in
  // tests).
  explicit ElevatedProcess(DWORD finish_timeout_ms = kFinishTimeoutMs);
  // Takes ownership of the copy's process and of the window that owned the
  // elevation prompt.
  virtual void Init(HANDLE process, HWND owner_window);
  virtual ~ElevatedProcess();
  ElevatedProcess(const ElevatedProcess&) = delete;
  ElevatedProcess& operator=(const ElevatedProcess&) = delete;

  // Releases the copy and waits until it ends or `stop_event` is set (the
  // window closes); true when the copy ended with exit code 0.
  virtual bool RunModule(HANDLE stop_event);
  // Waits up to the finish time-out for the copy, terminates it if it is
  // still there, and closes every handle and the owner window.
  virtual void EnsureProcessFinished();

  bool signalled() const { return signalled_; }
  bool hung() const { return hung_; }
  int32_t exit_code() const { return exit_code_; }
  bool events_valid() const {
    return start_event_.IsValid() && abort_event_.IsValid();
  }

 private:
  const DWORD finish_timeout_ms_;
  base::ScopedHandle process_;
  base::ScopedWindow owner_window_;
  base::ScopedHandle start_event_;
  base::ScopedHandle abort_event_;
  bool signalled_ = false;
  bool hung_ = false;
  int32_t exit_code_ = -1;
};

}  // namespace lite

#endif  // LITE_INSTALLER_ELEVATED_PROCESS_H_
