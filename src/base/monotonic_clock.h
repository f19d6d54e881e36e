// The one monotonic clock of the program: durations, deadlines and the
// times handed to the setup.
#ifndef BASE_MONOTONIC_CLOCK_H_
#define BASE_MONOTONIC_CLOCK_H_

#include <cstdint>

namespace base {

// The system's unbiased interrupt time in microseconds (the performance
// counter where that is not available, before Windows 7).
int64_t MonotonicMicroseconds();

}  // namespace base

#endif  // BASE_MONOTONIC_CLOCK_H_
