// The stand-in for the browser's setup program (browser-setup.arc) that the
// local services serve and the tests install. It does only what its
// environment asks, in this order (README.md, "The stand-in setup program"):
//
//   LITE_SETUP_STUB_RECORD_FILE            append the command line (UTF-8,
//                                          one line) to this file
//   LITE_SETUP_STUB_DELAY_MS               then wait this long
//   LITE_SETUP_STUB_MESSAGES               then post these registered
//                                          messages, "name[:wParam],..." to
//                                          the window of --progress-window
//   LITE_SETUP_STUB_MESSAGE_INTERVAL_MS    pause after each message
//   LITE_SETUP_STUB_BROWSER_WINDOW_SECONDS then leave the browser's message
//                                          window behind for this long
//   LITE_SETUP_STUB_EXIT_CODE              and exit with this code (signed
//                                          decimal, default 0)
//
// The browser's window belongs to a copy of this program started with
// LITE_SETUP_STUB_ROLE=browser, which outlives the setup like a browser.
#include <windows.h>

#include <shellapi.h>

#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <string>
#include <string_view>
#include <vector>

#include "base/scoped_handle.h"

namespace {

constexpr wchar_t kBrowserWindowClass[] = L"ZarvexBrowser_MessageWindow";

std::wstring Env(const wchar_t* name) {
  wchar_t buffer[4096];
  DWORD length = ::GetEnvironmentVariableW(name, buffer, 4096);
  if (length == 0 || length >= 4096) return std::wstring();
  return std::wstring(buffer, length);
}

long long EnvNumber(const wchar_t* name, long long fallback) {
  std::wstring text = Env(name);
  if (text.empty()) return fallback;
  return std::wcstoll(text.c_str(), nullptr, 10);
}

void RecordCommandLine(const std::wstring& path) {
  const wchar_t* command_line = ::GetCommandLineW();
  int size = ::WideCharToMultiByte(CP_UTF8, 0, command_line, -1, nullptr, 0,
                                   nullptr, nullptr);
  if (size <= 0) return;
  std::string utf8(size, '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, command_line, -1, utf8.data(), size,
                        nullptr, nullptr);
  utf8.back() = '\n';
  if (FILE* file = _wfopen(path.c_str(), L"ab")) {
    std::fwrite(utf8.data(), 1, utf8.size(), file);
    std::fclose(file);
  }
}

// The value of --progress-window (also -progress-window or /progress-window).
HWND ProgressWindow() {
  int count = 0;
  base::ScopedLocalMemory<wchar_t*> arguments(
      ::CommandLineToArgvW(::GetCommandLineW(), &count));
  wchar_t** const args = arguments.Get();
  HWND window = nullptr;
  for (int i = 1; args && i < count; ++i) {
    std::wstring_view arg = args[i];
    for (std::wstring_view prefix :
         {L"--progress-window=", L"-progress-window=", L"/progress-window="}) {
      if (arg.substr(0, prefix.size()) == prefix) {
        window = reinterpret_cast<HWND>(static_cast<uintptr_t>(
            std::wcstoull(args[i] + prefix.size(), nullptr, 10)));
        break;
      }
    }
  }
  return window;
}

void PostMessages(const std::wstring& list, HWND window, DWORD interval_ms) {
  size_t begin = 0;
  while (begin < list.size()) {
    size_t end = list.find(L',', begin);
    if (end == std::wstring::npos) end = list.size();
    std::wstring item = list.substr(begin, end - begin);
    begin = end + 1;
    if (item.empty()) continue;
    WPARAM wparam = 0;
    size_t colon = item.find(L':');
    if (colon != std::wstring::npos) {
      wparam = static_cast<WPARAM>(
          std::wcstoull(item.c_str() + colon + 1, nullptr, 10));
      item.resize(colon);
    }
    UINT message = ::RegisterWindowMessageW(item.c_str());
    if (window && message) ::PostMessageW(window, message, wparam, 0);
    if (interval_ms) ::Sleep(interval_ms);
  }
}

// The browser's part: a message-only window that lives for `seconds`.
int RunBrowser(UINT seconds) {
  WNDCLASSW window_class = {};
  window_class.lpfnWndProc = ::DefWindowProcW;
  window_class.hInstance = ::GetModuleHandleW(nullptr);
  window_class.lpszClassName = kBrowserWindowClass;
  ::RegisterClassW(&window_class);
  HWND window =
      ::CreateWindowExW(0, kBrowserWindowClass, L"", 0, 0, 0, 0, 0,
                        HWND_MESSAGE, nullptr, window_class.hInstance, nullptr);
  if (!window) return 1;
  ULONGLONG deadline = ::GetTickCount64() + 1000ull * seconds;
  for (ULONGLONG now; (now = ::GetTickCount64()) < deadline;) {
    ::MsgWaitForMultipleObjects(
        0, nullptr, FALSE, static_cast<DWORD>(deadline - now), QS_ALLINPUT);
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      ::DispatchMessageW(&message);
    }
  }
  ::DestroyWindow(window);
  return 0;
}

bool ProcessOwnsBrowserWindow(DWORD process_id) {
  for (HWND window = nullptr;
       (window = ::FindWindowExW(HWND_MESSAGE, window, kBrowserWindowClass,
                                 nullptr));) {
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner == process_id) return true;
  }
  return false;
}

// Starts the browser copy and waits (up to 10 s) until its window exists.
void LeaveBrowserWindow() {
  wchar_t path[MAX_PATH];
  if (!::GetModuleFileNameW(nullptr, path, MAX_PATH)) return;
  ::SetEnvironmentVariableW(L"LITE_SETUP_STUB_ROLE", L"browser");
  std::wstring command_line = L"\"" + std::wstring(path) + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  bool started =
      ::CreateProcessW(path, command_line.data(), nullptr, nullptr, FALSE, 0,
                       nullptr, nullptr, &startup, &process);
  ::SetEnvironmentVariableW(L"LITE_SETUP_STUB_ROLE", nullptr);
  if (!started) return;
  base::ScopedHandle thread(process.hThread);
  base::ScopedHandle child(process.hProcess);
  for (int i = 0; i < 500 && !ProcessOwnsBrowserWindow(process.dwProcessId);
       ++i) {
    if (::WaitForSingleObject(child.Get(), 20) == WAIT_OBJECT_0) break;
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, wchar_t*, int) {
  long long browser_seconds =
      EnvNumber(L"LITE_SETUP_STUB_BROWSER_WINDOW_SECONDS", 0);
  if (Env(L"LITE_SETUP_STUB_ROLE") == L"browser") {
    return RunBrowser(static_cast<UINT>(browser_seconds));
  }
  std::wstring record = Env(L"LITE_SETUP_STUB_RECORD_FILE");
  if (!record.empty()) RecordCommandLine(record);
  if (long long delay = EnvNumber(L"LITE_SETUP_STUB_DELAY_MS", 0); delay > 0) {
    ::Sleep(static_cast<DWORD>(delay));
  }
  PostMessages(
      Env(L"LITE_SETUP_STUB_MESSAGES"), ProgressWindow(),
      static_cast<DWORD>(EnvNumber(L"LITE_SETUP_STUB_MESSAGE_INTERVAL_MS", 0)));
  if (browser_seconds > 0) LeaveBrowserWindow();
  return static_cast<int>(EnvNumber(L"LITE_SETUP_STUB_EXIT_CODE", 0));
}
