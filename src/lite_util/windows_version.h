// The Windows version classification every version comparison uses.
#ifndef LITE_UTIL_WINDOWS_VERSION_H_
#define LITE_UTIL_WINDOWS_VERSION_H_

#include <cstdint>

namespace lite {

// 0 below XP, 1 XP, 2 Server 2003 (and later 5.x), 3 Vista, 4 7, 5 8,
// 6 8.1 (and later 6.x), 7 to 20 Windows 10 by build, 21 Windows 11
// (10.0 build 22000 and later, or major version 11), 22 any other major.
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
