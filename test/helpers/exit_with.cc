// Stand-in for a child process in tests: appends its command line and
// current directory to the file named by LITE_TEST_REPORT (when set) and
// exits with the number given as --exit-code=N (default 0).
//
// With --hold-mutex=NAME it first takes that named mutex, prints "held",
// keeps it for --hold-ms=N milliseconds (default 3000) and releases it.
//
// For callers that pass their own switches, the environment can give the
// same: LITE_TEST_EXIT_CODE (the exit code) and LITE_TEST_SLEEP_MS (a wait
// before exiting).
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "base/scoped_handle.h"

int wmain(int argc, wchar_t** argv) {
  long code = 0;
  const wchar_t* mutex_name = nullptr;
  unsigned long hold_ms = 3000;
  for (int i = 1; i < argc; ++i) {
    if (std::wcsncmp(argv[i], L"--exit-code=", 12) == 0) {
      code = std::wcstol(argv[i] + 12, nullptr, 10);
    } else if (std::wcsncmp(argv[i], L"--hold-mutex=", 13) == 0) {
      mutex_name = argv[i] + 13;
    } else if (std::wcsncmp(argv[i], L"--hold-ms=", 10) == 0) {
      hold_ms = std::wcstoul(argv[i] + 10, nullptr, 10);
    }
  }
  wchar_t value[32];
  if (::GetEnvironmentVariableW(L"LITE_TEST_EXIT_CODE", value, 32)) {
    code = std::wcstol(value, nullptr, 10);
  }
  if (::GetEnvironmentVariableW(L"LITE_TEST_SLEEP_MS", value, 32)) {
    ::Sleep(std::wcstoul(value, nullptr, 10));
  }
  if (mutex_name) {
    base::ScopedHandle mutex(::CreateMutexW(nullptr, TRUE, mutex_name));
    if (!mutex.IsValid() || ::GetLastError() == ERROR_ALREADY_EXISTS) {
      if (!mutex.IsValid() ||
          ::WaitForSingleObject(mutex.Get(), 10000) != WAIT_OBJECT_0) {
        return 3;
      }
    }
    std::printf("held\n");
    std::fflush(stdout);
    ::Sleep(hold_ms);
    ::ReleaseMutex(mutex.Get());
  }
  wchar_t report[MAX_PATH];
  if (::GetEnvironmentVariableW(L"LITE_TEST_REPORT", report, MAX_PATH)) {
    if (FILE* file = _wfopen(report, L"ab")) {
      wchar_t directory[MAX_PATH];
      ::GetCurrentDirectoryW(MAX_PATH, directory);
      // UTF-8, one value a line, so that tests read it as bytes.
      for (const wchar_t* text : {::GetCommandLineW(), &directory[0]}) {
        char utf8[4 * MAX_PATH * 8];
        int n = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof(utf8),
                                      nullptr, nullptr);
        if (n > 0) std::fprintf(file, "%s\n", utf8);
      }
      std::fclose(file);
    }
  }
  return static_cast<int>(code);
}
