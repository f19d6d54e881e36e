// Stand-in for a child process in tests: appends its command line and
// current directory to the file named by LITE_TEST_REPORT (when set) and
// exits with the number given as --exit-code=N (default 0).
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

int wmain(int argc, wchar_t** argv) {
  long code = 0;
  for (int i = 1; i < argc; ++i) {
    if (std::wcsncmp(argv[i], L"--exit-code=", 12) == 0) {
      code = std::wcstol(argv[i] + 12, nullptr, 10);
    }
  }
  wchar_t report[MAX_PATH];
  if (::GetEnvironmentVariableW(L"LITE_TEST_REPORT", report, MAX_PATH)) {
    if (FILE* file = _wfopen(report, L"ab")) {
      wchar_t directory[MAX_PATH];
      ::GetCurrentDirectoryW(MAX_PATH, directory);
      std::fwprintf(file, L"%ls\n%ls\n", ::GetCommandLineW(), directory);
      std::fclose(file);
    }
  }
  return static_cast<int>(code);
}
