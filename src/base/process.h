// Child processes: start one, wait for it with a bound, read its exit code.
#ifndef BASE_PROCESS_H_
#define BASE_PROCESS_H_

#include <windows.h>

#include <string>

#include "base/scoped_handle.h"

namespace base {

struct LaunchOptions {
  // CreateProcessW's application name; nullptr: the command line's first
  // token names the program.
  const wchar_t* application = nullptr;
  DWORD creation_flags = 0;
  // nullptr: the caller's.
  const wchar_t* current_directory = nullptr;
};

// A started child process. The handle of its first thread is closed at
// once; the process handle goes with this object (the child itself runs
// on).
class Process {
 public:
  enum class WaitResult {
    kExited,      // it ended; the exit code was read
    kNoExitCode,  // it ended, but its exit code could not be read
    kTimedOut,    // still running at the end of the wait
    kWaitFailed,  // the wait itself failed
  };

  // Starts `command_line`. On failure the object is not valid and the last
  // error is CreateProcessW's.
  static Process Launch(const std::wstring& command_line,
                        const LaunchOptions& options = {});

  Process() = default;
  Process(Process&&) = default;
  Process& operator=(Process&&) = default;

  bool IsValid() const { return handle_.IsValid(); }
  HANDLE handle() const { return handle_.Get(); }
  DWORD id() const { return id_; }

  // Waits up to `timeout_ms` (INFINITE: for as long as it runs) for the
  // process to end and then reads its exit code into `exit_code`, which is
  // left alone otherwise. Unless kExited, the last error is that of the
  // failing call.
  WaitResult WaitForExit(DWORD timeout_ms, DWORD* exit_code) const;

  // Ends the process with `exit_code` (for one that overran its wait).
  bool Terminate(UINT exit_code) const;

 private:
  ScopedHandle handle_;
  DWORD id_ = 0;
};

}  // namespace base

#endif  // BASE_PROCESS_H_
