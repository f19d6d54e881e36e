#include "lite_util/system_checks.h"

#include <windows.h>

#include <shlobj.h>

namespace lite {

int GetWindowsVersion() {
  using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOW*);
  OSVERSIONINFOW info = {sizeof(info)};
  auto rtl_get_version =
      reinterpret_cast<RtlGetVersionFunction>(reinterpret_cast<void*>(
          ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
  if (!rtl_get_version || rtl_get_version(&info) != 0) return 0;
  DWORD major = info.dwMajorVersion;
  DWORD minor = info.dwMinorVersion;
  if (major == 5) return minor >= 2 ? 2 : 1;
  if (major == 6) {
    switch (minor) {
      case 0:
        return 3;
      case 1:
        return 4;
      case 2:
        return 5;
      default:
        return 6;
    }
  }
  return major >= 10 ? 7 : 0;
}

bool IsProcessorSupported(int* message_id) {
  bool sse2 = ::IsProcessorFeaturePresent(PF_XMMI64_INSTRUCTIONS_AVAILABLE);
  bool sse3 = ::IsProcessorFeaturePresent(PF_SSE3_INSTRUCTIONS_AVAILABLE);
  if (sse2 && sse3) return true;
  *message_id = sse3 ? kMessageNoSse2 : kMessageNoSse3;
  return false;
}

bool HasEnoughDiskSpace(bool system_level, uint64_t bytes) {
  wchar_t folder[MAX_PATH];
  int csidl = system_level ? CSIDL_PROGRAM_FILES : CSIDL_LOCAL_APPDATA;
  if (FAILED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT,
                                folder))) {
    return true;
  }
  ULARGE_INTEGER available;
  if (!::GetDiskFreeSpaceExW(folder, &available, nullptr, nullptr)) {
    return true;
  }
  return available.QuadPart >= bytes;
}

}  // namespace lite
