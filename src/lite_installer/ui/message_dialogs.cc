#include "lite_installer/ui/message_dialogs.h"

#include <windows.h>

#include "lite_util/logging/log_message.h"
#include "lite_util/system_checks.h"

namespace lite {

namespace {

struct WindowSearch {
  DWORD process_id;
  HWND window;
};

BOOL CALLBACK FindProcessWindow(HWND window, LPARAM lparam) {
  auto* search = reinterpret_cast<WindowSearch*>(lparam);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  if (owner != search->process_id) return TRUE;
  search->window = window;
  return FALSE;
}

}  // namespace

void BringProcessWindowToTop(uint32_t process_id) {
  if (process_id == 0) {
    PLOG(ERROR) << "Failed to bring process window to top: wrong process id";
    return;
  }
  WindowSearch search = {process_id, nullptr};
  ::EnumWindows(&FindProcessWindow, reinterpret_cast<LPARAM>(&search));
  HWND window = search.window;
  if (!window) return;

  DWORD window_thread = ::GetWindowThreadProcessId(window, nullptr);
  DWORD foreground_thread =
      ::GetWindowThreadProcessId(::GetForegroundWindow(), nullptr);
  if (::AttachThreadInput(window_thread, foreground_thread, TRUE)) {
    ::BringWindowToTop(window);
    ::SetForegroundWindow(window);
    ::AttachThreadInput(window_thread, foreground_thread, FALSE);
    if (::GetForegroundWindow() == window) return;
  }
  DWORD timeout = 0;
  ::SystemParametersInfoW(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &timeout, 0);
  ::SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, nullptr,
                          SPIF_SENDCHANGE);
  ::BringWindowToTop(window);
  ::SetForegroundWindow(window);
  ::SystemParametersInfoW(
      SPI_SETFOREGROUNDLOCKTIMEOUT, 0,
      reinterpret_cast<void*>(static_cast<uintptr_t>(timeout)),
      SPIF_SENDCHANGE);
}

void ShowProcessorNotice(int message_id, const std::string& language) {
  (void)language;
  std::wstring text =
      L"Couldn't install Zarvex\u00A0Browser on this computer.\n";
  text += message_id == kMessageNoSse3
              ? L"The processor doesn't support SSE3."
              : L"Your processor does not support SSE2.";
  ::MessageBoxW(nullptr, text.c_str(), L"Zarvex\u00A0Browser Installation",
                MB_OK);
}

void ShowDiskSpaceNotice(const std::string& language) {
  (void)language;
  ::MessageBoxW(nullptr,
                L"Not enough disk space\nto install Zarvex\u00A0Browser\n\n"
                L"Free up at least 600 MB and try again.",
                L"Zarvex\u00A0Browser Installation", MB_OK);
}

void ShowOldWindowsNotice(const std::string& language,
                          const std::string& brand_id) {
  (void)language;
  (void)brand_id;
  ::MessageBoxW(nullptr,
                L"This version of Zarvex\u00A0Browser doesn't support Windows "
                L"XP and Vista.",
                L"Zarvex\u00A0Browser Installation", MB_OK);
}

}  // namespace lite
