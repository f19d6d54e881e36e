// Whether Windows' internal default-browser association interfaces are
// present and usable. The check may crash or hang inside Windows, so the
// installer asks it in a child process started with check-the-interface.
#ifndef ZARVEX_UTIL_APPLICATION_ASSOCIATION_REGISTRATION_INTERNAL_H_
#define ZARVEX_UTIL_APPLICATION_ASSOCIATION_REGISTRATION_INTERNAL_H_

#include <cstdint>
#include <string>

namespace zarvex {

// The check itself, made in the probe process.
bool IsInternalInterfaceAvailable();

// Probe outcomes, the leading digit of the availability code.
enum InterfaceProbeStatus {
  kInterfaceAvailable = 0,
  kInterfaceProbeCrashed = 1,
  kInterfaceNotAvailable = 2,
  kInterfaceProbeTimedOut = 3,
  kInterfaceProbeFailed = 4,
};

// status * 10^9 + (build * 10^4 + update revision) mod 10^9, where a build
// of 29497 or more and an update revision of 7296 or more count as 0.
uint32_t InterfaceAvailabilityCode(int status, uint32_t build,
                                   uint32_t update_revision);

// What the safe check needs to know of the system.
struct InterfaceProbeSystem {
  int windows_version = 0;  // WindowsVersion()'s classification
  uint32_t build = 0;
  uint32_t update_revision = 0;
  std::wstring executable;  // the program to start as the probe
};
InterfaceProbeSystem CurrentInterfaceProbeSystem();

// Asks a child process started with only "check-the-interface" (at most
// 3 seconds). False at once before Windows 10, leaving `code` alone;
// otherwise `code` receives the availability code.
bool IsInternalInterfaceAvailableSafeCheck(const InterfaceProbeSystem& system,
                                           uint32_t* code);
bool IsInternalInterfaceAvailableSafeCheck(uint32_t* code);

}  // namespace zarvex

#endif  // ZARVEX_UTIL_APPLICATION_ASSOCIATION_REGISTRATION_INTERNAL_H_
