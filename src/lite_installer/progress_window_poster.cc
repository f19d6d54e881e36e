#include "lite_installer/progress_window_poster.h"

namespace lite {

void ProgressWindowPoster::OnTimeLeft(int seconds, int phase) {
  ::PostMessageW(window_, kTimeLeftMessage, static_cast<WPARAM>(seconds),
                 static_cast<LPARAM>(phase));
}

void ProgressWindowPoster::SetProgress(int percent) {
  ::PostMessageW(window_, kProgressMessage, static_cast<WPARAM>(percent), 0);
}

void ProgressWindowPoster::OnSetupLaunched() {
  // Asynchronously: showing a window of another thread waits for that
  // thread, and the installer's window thread may itself be waiting for
  // this process to end (a window that is being closed).
  ::ShowWindowAsync(::GetDlgItem(window_, kCancelButtonId), SW_HIDE);
}

}  // namespace lite
