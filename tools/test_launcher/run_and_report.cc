// Runs a Windows program, waits for it and prints its full 32-bit exit code,
// which a Linux parent of Wine would only see the low 8 bits of.
//
//   run_and_report.exe [--timeout=MS] <program> [arguments...]
//
// Prints "exit_code=<signed decimal>" on success; on a time-out prints
// "timeout" and leaves the program running. Its own exit code is 0 when the
// report was printed, 2 when the program could not be started.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "base/scoped_handle.h"

namespace {

// Skips one argument of a command line, following CommandLineToArgvW's
// rules for quotes, and the blanks after it.
const wchar_t* SkipArgument(const wchar_t* p) {
  bool quoted = false;
  while (*p && (quoted || (*p != L' ' && *p != L'\t'))) {
    if (*p == L'\\') {
      while (*p == L'\\') ++p;
      if (*p == L'"') ++p;
      continue;
    }
    if (*p == L'"') quoted = !quoted;
    ++p;
  }
  while (*p == L' ' || *p == L'\t') ++p;
  return p;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  DWORD timeout = INFINITE;
  const wchar_t* rest = SkipArgument(::GetCommandLineW());
  if (argc > 1 && std::wcsncmp(argv[1], L"--timeout=", 10) == 0) {
    timeout = static_cast<DWORD>(std::wcstoul(argv[1] + 10, nullptr, 10));
    rest = SkipArgument(rest);
  }
  std::wstring command_line = rest;
  if (command_line.empty()) {
    std::fprintf(stderr, "usage: run_and_report [--timeout=MS] program ...\n");
    return 2;
  }
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!::CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, FALSE,
                        0, nullptr, nullptr, &startup, &process)) {
    std::printf("start_failed=%lu\n", ::GetLastError());
    return 2;
  }
  base::ScopedHandle thread(process.hThread);
  base::ScopedHandle child(process.hProcess);
  std::printf("pid=%lu\n", process.dwProcessId);
  DWORD wait = ::WaitForSingleObject(child.Get(), timeout);
  if (wait != WAIT_OBJECT_0) {
    std::printf("timeout\n");
  } else {
    DWORD code = 0;
    ::GetExitCodeProcess(child.Get(), &code);
    std::printf("exit_code=%ld\n", static_cast<long>(code));
  }
  return 0;
}
