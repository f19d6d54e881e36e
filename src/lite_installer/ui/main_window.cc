#include "lite_installer/ui/main_window.h"

#include "lite_installer/elevation.h"
#include "lite_util/logging/log_message.h"

namespace lite {

namespace {
constexpr wchar_t kWindowClass[] = L"ZarvexLiteInstallerWindow";
constexpr int kWidth = 560;
constexpr int kHeight = 380;
}  // namespace

MainWindow::MainWindow(const BrandInfo& brand_info,
                       const DistribParams& distrib_params,
                       const InstallerInputs& inputs, bool start_installer)
    : installer_(std::make_unique<Installer>(this, &brand_info, &distrib_params,
                                             true, inputs)) {
  (void)start_installer;
}

MainWindow::~MainWindow() {
  if (window_) ::DestroyWindow(window_);
}

int MainWindow::RunModal() {
  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  WNDCLASSEXW window_class = {sizeof(window_class)};
  window_class.lpfnWndProc = &WindowProc;
  window_class.hInstance = instance;
  window_class.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  window_class.lpszClassName = kWindowClass;
  ::RegisterClassExW(&window_class);

  int x = (::GetSystemMetrics(SM_CXSCREEN) - kWidth) / 2;
  int y = (::GetSystemMetrics(SM_CYSCREEN) - kHeight) / 2;
  window_ = ::CreateWindowExW(0, kWindowClass, L"Zarvex\u00A0Browser",
                              WS_POPUP | WS_CAPTION | WS_SYSMENU, x, y, kWidth,
                              kHeight, nullptr, nullptr, instance, this);
  if (!window_) {
    PLOG(ERROR) << "Failed to create the main window.";
    return 0;
  }
  ::ShowWindow(window_, SW_SHOW);
  ::SetForegroundWindow(window_);
  ElevateIfNeeded(kUacAtWindowCreated);

  MSG message;
  while (!ended_ && ::GetMessageW(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return end_value_;
}

void MainWindow::ElevateIfNeeded(int moment_mode) {
  if (installer_->uac_mode() != moment_mode) return;
  if (!installer_->StartElevatedCopyIfNeeded()) {
    LOG(INFO) << "Declined running the installer as admin";
  }
}

LRESULT CALLBACK MainWindow::WindowProc(HWND window, UINT message,
                                        WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
    ::SetWindowLongPtrW(window, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self =
      reinterpret_cast<MainWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self && message == WM_CLOSE) {
    self->end_value_ = kEndClosed;
    self->ended_ = true;
    ::DestroyWindow(window);
    return 0;
  }
  if (self && message == WM_DESTROY) {
    self->window_ = nullptr;
    self->ended_ = true;
    ::PostMessageW(nullptr, WM_NULL, 0, 0);
    return 0;
  }
  return ::DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace lite
