// Plays the installer's window for the stand-in setup program in tests:
//
//   setup_stub_probe.exe <program> [arguments...]
//
// Makes a message-only window, starts the program with
// --progress-window=<that window> appended, and until the program has ended
// (and 300 ms after) prints every registered setup message it receives as
// "message <name> <wParam>". Then prints "exit_code=<code>" and
// "browser_window=1" or "browser_window=0" (whether a message-only window of
// the browser's class exists).
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "base/scoped_handle.h"

namespace {

const wchar_t* const kSetupMessages[] = {
    L"zarvex.lite.set_install_progress", L"zarvex.lite.set_import_progress",
    L"zarvex.lite.close_window", L"zarvex.higher_version_exist",
    L"zarvex.lite.move_window"};
UINT g_message_ids[5];

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam,
                            LPARAM lparam) {
  for (int i = 0; i < 5; ++i) {
    if (message == g_message_ids[i]) {
      std::printf("message %ls %lu\n", kSetupMessages[i],
                  static_cast<unsigned long>(wparam));
      return 0;
    }
  }
  return ::DefWindowProcW(window, message, wparam, lparam);
}

void Pump() {
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    ::DispatchMessageW(&message);
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  if (argc < 2) return 2;
  for (int i = 0; i < 5; ++i) {
    g_message_ids[i] = ::RegisterWindowMessageW(kSetupMessages[i]);
  }
  WNDCLASSW window_class = {};
  window_class.lpfnWndProc = WindowProc;
  window_class.hInstance = ::GetModuleHandleW(nullptr);
  window_class.lpszClassName = L"LiteSetupStubProbe";
  ::RegisterClassW(&window_class);
  HWND window =
      ::CreateWindowExW(0, window_class.lpszClassName, L"", 0, 0, 0, 0, 0,
                        HWND_MESSAGE, nullptr, window_class.hInstance, nullptr);
  if (!window) return 2;

  // Arguments are quoted only when they hold blanks (tests pass none that
  // need more).
  std::wstring command_line;
  for (int i = 1; i < argc; ++i) {
    std::wstring arg = argv[i];
    bool quote = arg.empty() || arg.find(L' ') != std::wstring::npos;
    command_line += quote ? L"\"" + arg + L"\" " : arg + L" ";
  }
  command_line += L"--progress-window=" +
                  std::to_wstring(reinterpret_cast<uintptr_t>(window));
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!::CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, FALSE,
                        0, nullptr, nullptr, &startup, &process)) {
    std::printf("cannot start: %lu\n", ::GetLastError());
    return 2;
  }
  base::ScopedHandle thread(process.hThread);
  base::ScopedHandle child(process.hProcess);
  while (::MsgWaitForMultipleObjects(1, &process.hProcess, FALSE, INFINITE,
                                     QS_ALLINPUT) != WAIT_OBJECT_0) {
    Pump();
  }
  ULONGLONG end = ::GetTickCount64() + 300;
  while (::GetTickCount64() < end) {
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    Pump();
  }
  DWORD exit_code = 0;
  ::GetExitCodeProcess(process.hProcess, &exit_code);
  std::printf("exit_code=%ld\n", static_cast<long>(exit_code));
  bool browser = ::FindWindowExW(HWND_MESSAGE, nullptr,
                                 L"ZarvexBrowser_MessageWindow", nullptr);
  std::printf("browser_window=%d\n", browser ? 1 : 0);
  return 0;
}
