// Plays the first installer's side of the elevation handshake for the
// black-box tests, through the controller's own operations, until the main
// window can do it:
//
//   elevation_parent.exe INSTALLER MODE [ARCHIVE] [STOP_MS]
//
// starts INSTALLER's elevated copy (StartThisProcessAsAdmin) with this
// program's window as the progress window and then, by MODE:
//   run    writes the delayed parameters block (ARCHIVE as the package) and
//          hands over the setup's run (RunModuleInElevatedProcess), pumping
//          the window's messages meanwhile;
//   stop   the same, but stops the installer after STOP_MS;
//   abort  destroys the installer without handing over;
//   hold   waits (at most ten minutes) to be killed by the test.
// Prints one line of "name=value" results and exits with 0 (1 on a usage
// error).
//
// The block is a section shared by every process of INSTALLER's file: this
// program maps INSTALLER as an image and writes the block there.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "base/monotonic_clock.h"
#include "base/scoped_handle.h"
#include "lite_installer/delayed_params.h"
#include "lite_installer/installer.h"
#include "lite_installer/progress_window_poster.h"

namespace {

class WindowDelegate : public lite::InstallerDelegate {
 public:
  explicit WindowDelegate(HWND window) : window_(window) {}
  void OnDownloadProgress(float) override {}
  void OnLongDownload() override {}
  void OnTimeLeft(int, int) override {}
  void RequestClose(int) override {}
  void OnFinished(int) override {}
  HWND GetWindowHandle() override { return window_; }
  void SetProgress(int) override {}
  void OnSetupLaunched() override {}

 private:
  HWND window_;
};

// The "Shared" section of a module mapped as an image.
lite::DelayedParamsBlock* SharedBlockOf(HMODULE module) {
  auto* base = reinterpret_cast<uint8_t*>(module);
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
  IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
  for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
    if (std::memcmp(section->Name, "Shared\0\0", 8) == 0 &&
        section->Misc.VirtualSize >= sizeof(lite::DelayedParamsBlock)) {
      return reinterpret_cast<lite::DelayedParamsBlock*>(
          base + section->VirtualAddress);
    }
  }
  return nullptr;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 1;
  const std::wstring installer_path = argv[1];
  const std::wstring mode = argv[2];
  const std::wstring archive = argc > 3 ? argv[3] : L"";
  const DWORD stop_ms = argc > 4 ? std::wcstoul(argv[4], nullptr, 10) : 0;

  HMODULE image = ::LoadLibraryExW(installer_path.c_str(), nullptr,
                                   DONT_RESOLVE_DLL_REFERENCES);
  lite::DelayedParamsBlock* block = image ? SharedBlockOf(image) : nullptr;
  if (!block) return 1;

  HWND window =
      ::CreateWindowExW(0, L"STATIC", L"first installer", WS_OVERLAPPEDWINDOW,
                        0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
  HWND cancel = ::CreateWindowExW(
      0, L"BUTTON", L"Cancel", WS_CHILD | WS_VISIBLE, 10, 10, 80, 24, window,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(lite::kCancelButtonId)),
      nullptr, nullptr);
  WindowDelegate delegate(window);

  lite::InstallerInputs inputs;
  inputs.command_line = lite::InstallerCommandLine::FromString(
      L"\"" + installer_path + L"\" --verbose-logging");
  inputs.windows_version = 7;  // Windows 7
  inputs.executable_path = installer_path;
  auto installer = std::make_unique<lite::Installer>(&delegate, nullptr,
                                                     nullptr, false, inputs);
  const bool need = installer->NeedStartThisProcessAsAdmin();
  const bool started = installer->StartThisProcessAsAdmin();
  std::printf("need=%d started=%d", need, started);
  std::fflush(stdout);
  if (!started) {
    std::printf("\n");
    return 0;
  }
  if (mode == L"hold") {
    std::printf("\n");
    std::fflush(stdout);
    ::Sleep(600000);
    return 0;
  }

  int64_t destroy_ms = 0;
  if (mode == L"abort") {
    ::Sleep(1000);  // the copy is waiting by now
    const int64_t start = base::MonotonicMicroseconds();
    installer.reset();
    destroy_ms = (base::MonotonicMicroseconds() - start) / 1000;
    std::printf(" destroy_ms=%lld\n", static_cast<long long>(destroy_ms));
    return 0;
  }

  lite::DelayedParams values;
  values.browser_arc_path = archive;
  values.download_time = L"3";
  values.install_start_time = L"123456789";
  values.send_statistics = true;
  if (!lite::FillDelayedParamsBlock(values, *block)) return 1;
  block->setup_failure_reason = 0;

  bool run = false;
  base::ScopedHandle done_event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  HANDLE done = done_event.Get();
  std::thread install([&] {
    run = installer->RunModuleInElevatedProcess();
    ::SetEvent(done);
  });
  std::vector<int> progress;
  const int64_t start = base::MonotonicMicroseconds();
  bool stopped = false;
  for (;;) {
    const DWORD wait =
        ::MsgWaitForMultipleObjects(1, &done, FALSE, 100, QS_ALLINPUT);
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == lite::kProgressMessage) {
        progress.push_back(static_cast<int>(message.wParam));
      }
      ::DispatchMessageW(&message);
    }
    if (wait == WAIT_OBJECT_0) break;
    if (mode == L"stop" && !stopped &&
        base::MonotonicMicroseconds() - start >= int64_t{stop_ms} * 1000) {
      installer->Stop();
      stopped = true;
    }
  }
  install.join();
  const int64_t destroy_start = base::MonotonicMicroseconds();
  installer.reset();
  destroy_ms = (base::MonotonicMicroseconds() - destroy_start) / 1000;
  // Messages posted after the wait ended.
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == lite::kProgressMessage) {
      progress.push_back(static_cast<int>(message.wParam));
    }
    ::DispatchMessageW(&message);
  }
  std::string progress_text;
  for (int p : progress) {
    progress_text += (progress_text.empty() ? "" : ",") + std::to_string(p);
  }
  std::printf(
      " run=%d progress=%s cancel_visible=%d failure_reason=%d "
      "destroy_ms=%lld\n",
      run, progress_text.c_str(), ::IsWindowVisible(cancel) ? 1 : 0,
      static_cast<int>(block->setup_failure_reason),
      static_cast<long long>(destroy_ms));
  ::DestroyWindow(window);
  return 0;
}
