// The Windows version classification every version comparison uses.
#ifndef LITE_UTIL_WINDOWS_VERSION_H_
#define LITE_UTIL_WINDOWS_VERSION_H_

#include <cstdint>

namespace lite {

// The classes of the classification, in the order of the releases. Windows
// 10 takes the classes kWindows10 (build 10240) to 20 by build, one for each
// release the table in the .cc knows.
enum WindowsVersionClass : int {
  kWindowsBeforeXp = 0,
  kWindowsXp = 1,
  kWindowsServer2003 = 2,  // and later 5.x
  kWindowsVista = 3,
  kWindows7 = 4,
  kWindows8 = 5,
  kWindows81 = 6,  // and later 6.x
  kWindows10 = 7,
  kWindows11 = 21,  // 10.0 build 22000 and later, or major version 11
  kWindowsOtherMajor = 22,
};

// The class of a Windows version (a WindowsVersionClass or, for Windows 10,
// a class from kWindows10 up to kWindows11).
int ClassifyWindowsVersion(uint32_t major, uint32_t minor, uint32_t build);

// Native processor architecture: 0 x86, 1 x64, 2 IA64, 3 ARM64, 4 other.
int ClassifyNativeArchitecture(uint16_t processor_architecture);

// The running system, computed once per process (GetVersionExW, as the
// manifest lets it report, and GetNativeSystemInfo).
struct SystemVersion {
  int version = 0;
  int native_architecture = 0;
  uint32_t build = 0;
};
const SystemVersion& CurrentSystemVersion();

// The classification of the running Windows.
int WindowsVersion();

}  // namespace lite

#endif  // LITE_UTIL_WINDOWS_VERSION_H_
