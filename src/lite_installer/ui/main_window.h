// The installer's main window, run modally on the main thread.
//
// For now a plain top-level window that owns the installer and ends when it
// is closed; its screens come later.
#ifndef LITE_INSTALLER_UI_MAIN_WINDOW_H_
#define LITE_INSTALLER_UI_MAIN_WINDOW_H_

#include <windows.h>

#include <memory>

#include "lite_installer/installer.h"

namespace lite {

class BrandInfo;
class DistribParams;

class MainWindow : public InstallerDelegate {
 public:
  // End values of RunModal.
  static constexpr int kEndInstalled = 1;
  static constexpr int kEndClosed = 2;

  // `inputs` go to the installer the window owns.
  MainWindow(const BrandInfo& brand_info, const DistribParams& distrib_params,
             const InstallerInputs& inputs, bool start_installer);
  ~MainWindow() override;

  // Shows the window and runs its message loop until it ends; returns the
  // end value (0 when the window could not be created).
  int RunModal();

  Installer* installer() const { return installer_.get(); }

  // InstallerDelegate (the window's progress display comes later).
  void OnDownloadProgress(float fraction) override {}
  void OnLongDownload() override {}
  void OnTimeLeft(int seconds, int phase) override {}
  void RequestClose(int value) override {}
  void OnFinished(int outcome) override {}
  HWND GetWindowHandle() override { return window_; }
  void SetProgress(int percent) override {}
  void OnSetupLaunched() override {}

 private:
  // Starts the elevated copy when the elevation mode asks for it now.
  void ElevateIfNeeded(int moment_mode);
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam,
                                     LPARAM lparam);

  std::unique_ptr<Installer> installer_;
  HWND window_ = nullptr;
  int end_value_ = 0;
  bool ended_ = false;
};

}  // namespace lite

#endif  // LITE_INSTALLER_UI_MAIN_WINDOW_H_
