// The clock of the installer's durations and times.
#ifndef LITE_INSTALLER_MONOTONIC_CLOCK_H_
#define LITE_INSTALLER_MONOTONIC_CLOCK_H_

#include <cstdint>

namespace lite {

// The system's unbiased interrupt time in microseconds (the performance
// counter where that is not available, before Windows 7).
int64_t MonotonicMicroseconds();

}  // namespace lite

#endif  // LITE_INSTALLER_MONOTONIC_CLOCK_H_
