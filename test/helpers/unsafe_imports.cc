// Imports, at load time, one function of each system DLL that the installer
// must not import at load time, and exits with 0 without calling any of
// them. With marker DLLs of those names beside it, it shows which of them the
// loader would take from the program's folder.
#include <windows.h>

#include <bcrypt.h>
#include <commctrl.h>
#include <dbghelp.h>
#include <fdi.h>
#include <oleacc.h>
#include <softpub.h>
#include <urlmon.h>
#include <uxtheme.h>
#include <wincrypt.h>
#include <wininet.h>
#include <winnetwk.h>
#include <wintrust.h>

// Declared here: the GDI+ headers need the C++ min/max, and winhttp.h does
// not go together with wininet.h.
extern "C" __declspec(dllimport) void WINAPI GdiplusShutdown(ULONG_PTR token);
extern "C" __declspec(dllimport) BOOL WINAPI WinHttpCheckPlatform();

int main() {
  // Read through a volatile table, so that every import stays.
  static const void* volatile kImports[] = {
      reinterpret_cast<const void*>(&::BCryptCloseAlgorithmProvider),
      reinterpret_cast<const void*>(&::FDIDestroy),
      reinterpret_cast<const void*>(&::InitCommonControlsEx),
      reinterpret_cast<const void*>(&::CertCloseStore),
      reinterpret_cast<const void*>(&::MiniDumpWriteDump),
      reinterpret_cast<const void*>(&::GdiplusShutdown),
      reinterpret_cast<const void*>(&::WNetAddConnection2W),
      reinterpret_cast<const void*>(&::AlphaBlend),
      reinterpret_cast<const void*>(&::AccessibleObjectFromWindow),
      reinterpret_cast<const void*>(&::URLDownloadToFileW),
      reinterpret_cast<const void*>(&::IsThemeActive),
      reinterpret_cast<const void*>(&::GetFileVersionInfoSizeW),
      reinterpret_cast<const void*>(&::WinHttpCheckPlatform),
      reinterpret_cast<const void*>(&::InternetAttemptConnect),
      reinterpret_cast<const void*>(&::WinVerifyTrust),
  };
  int present = 0;
  for (const void* import : kImports) present += import != nullptr;
  return present == sizeof(kImports) / sizeof(kImports[0]) ? 0 : 1;
}
