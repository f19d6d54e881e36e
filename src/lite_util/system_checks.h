// Facts about the machine that decide whether the installer can run.
#ifndef LITE_UTIL_SYSTEM_CHECKS_H_
#define LITE_UTIL_SYSTEM_CHECKS_H_

#include <cstdint>

namespace lite {

// Windows version classification: XP 1, Server 2003 2, Vista 3, 7 4, 8 5,
// 8.1 6, 10 and later 7 and up.
int GetWindowsVersion();

// Resource ids of the processor notice's reason.
constexpr int kMessageNoSse2 = 444;
constexpr int kMessageNoSse3 = 445;

// True when the processor has SSE2 and SSE3. Otherwise `message_id`
// receives the reason's string id: kMessageNoSse3 when SSE3 is missing,
// else kMessageNoSse2.
bool IsProcessorSupported(int* message_id);

// Whether the user may use at least `bytes` on the volume of the Program
// Files folder (system level) or of the local application data folder.
// Passes when the folder or its free space cannot be determined.
bool HasEnoughDiskSpace(bool system_level, uint64_t bytes);

}  // namespace lite

#endif  // LITE_UTIL_SYSTEM_CHECKS_H_
