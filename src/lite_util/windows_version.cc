#include "lite_util/windows_version.h"

#include <windows.h>

namespace lite {

int ClassifyWindowsVersion(uint32_t major, uint32_t minor, uint32_t build) {
  if (major < 5 || (major == 5 && minor == 0)) return kWindowsBeforeXp;
  if (major == 5) return minor == 1 ? kWindowsXp : kWindowsServer2003;
  if (major == 6) {
    if (minor == 0) return kWindowsVista;
    if (minor == 1) return kWindows7;
    if (minor == 2) return kWindows8;
    return kWindows81;
  }
  if (major == 11) return kWindows11;
  if (major != 10) return kWindowsOtherMajor;
  // Windows 10 and 11 report 10.0; the build tells them apart.
  struct BuildClass {
    uint32_t first_build;
    int version;
  };
  static constexpr BuildClass kBuilds[] = {
      {22000, 21}, {20348, 20}, {19044, 19}, {19043, 18}, {19042, 17},
      {19041, 16}, {18363, 15}, {18362, 14}, {17763, 13}, {17134, 12},
      {16299, 11}, {15063, 10}, {14393, 9},  {10586, 8},
  };
  for (const BuildClass& entry : kBuilds) {
    if (build >= entry.first_build) return entry.version;
  }
  return kWindows10;
}

int ClassifyNativeArchitecture(uint16_t processor_architecture) {
  switch (processor_architecture) {
    case PROCESSOR_ARCHITECTURE_INTEL:
      return 0;
    case PROCESSOR_ARCHITECTURE_AMD64:
      return 1;
    case PROCESSOR_ARCHITECTURE_IA64:
      return 2;
    case 12:  // PROCESSOR_ARCHITECTURE_ARM64
      return 3;
    default:
      return 4;
  }
}

const SystemVersion& CurrentSystemVersion() {
  static const SystemVersion version = [] {
    SystemVersion result;
    OSVERSIONINFOW info = {sizeof(info)};
    if (::GetVersionExW(&info)) {
      result.version = ClassifyWindowsVersion(
          info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber);
      result.build = info.dwBuildNumber;
    }
    SYSTEM_INFO system_info = {};
    ::GetNativeSystemInfo(&system_info);
    result.native_architecture =
        ClassifyNativeArchitecture(system_info.wProcessorArchitecture);
    return result;
  }();
  return version;
}

int WindowsVersion() { return CurrentSystemVersion().version; }

}  // namespace lite
