// Facts about the machine that decide whether the installer can run.
#ifndef LITE_UTIL_SYSTEM_CHECKS_H_
#define LITE_UTIL_SYSTEM_CHECKS_H_

#include <cstdint>
#include <string>

#include "lite_util/windows_version.h"

namespace lite {

// Resource ids of the processor notice's reason.
constexpr int kMessageNoSse2 = 444;
constexpr int kMessageNoSse3 = 445;

// True when the processor has SSE2 and SSE3. Otherwise `message_id` (when
// given) receives the reason's string id: kMessageNoSse3 when SSE3 is
// missing, else kMessageNoSse2.
bool IsProcessorSupported(int* message_id);

// Whether the user may use at least `bytes` on the volume of the Program
// Files folder (system level) or of the local application data folder.
// Passes when the folder or its free space cannot be determined.
bool HasEnoughDiskSpace(bool system_level, uint64_t bytes);

// What is known of an exception raised while opening a URL.
struct DelayLoadFailure {
  uint32_t code = 0;
  std::string dll_name;
  std::string procedure_name;
};

// True for the delay-load failure of an outdated CryptoPro revocation
// provider: code 0xC06D007E, module "cplib.dll", a procedure whose name
// contains "cryptopro" (all compared without case).
bool IsCryptoProException(const DelayLoadFailure& failure);

}  // namespace lite

#endif  // LITE_UTIL_SYSTEM_CHECKS_H_
