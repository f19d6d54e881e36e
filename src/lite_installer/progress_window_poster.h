// The elevated copy's delegate: the setup's progress goes, as posted
// messages, to the window of the installer that started the copy.
#ifndef LITE_INSTALLER_PROGRESS_WINDOW_POSTER_H_
#define LITE_INSTALLER_PROGRESS_WINDOW_POSTER_H_

#include <windows.h>

#include "lite_installer/installer.h"

namespace lite {

// Messages of the installer's progress window.
inline constexpr UINT kProgressMessage = WM_APP + 100;  // wParam: percent
inline constexpr UINT kTimeLeftMessage = WM_APP + 101;  // seconds, phase
// The progress window's cancel button.
inline constexpr int kCancelButtonId = 112;

class ProgressWindowPoster : public InstallerDelegate {
 public:
  explicit ProgressWindowPoster(HWND window) : window_(window) {}
  ~ProgressWindowPoster() override = default;

  void OnDownloadProgress(float fraction) override {}
  void OnLongDownload() override {}
  void OnTimeLeft(int seconds, int phase) override;
  void RequestClose(int value) override {}
  void OnFinished(int outcome) override {}
  HWND GetWindowHandle() override { return window_; }
  void SetProgress(int percent) override;
  // Hides the window's cancel button: the setup runs and cannot be
  // cancelled any more.
  void OnSetupLaunched() override;

 private:
  // Another process's window: only used through messages.
  HWND window_;
};

}  // namespace lite

#endif  // LITE_INSTALLER_PROGRESS_WINDOW_POSTER_H_
