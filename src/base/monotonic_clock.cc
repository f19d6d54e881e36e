#include "base/monotonic_clock.h"

#include <windows.h>

namespace base {

int64_t MonotonicMicroseconds() {
  using QueryFunction = BOOL(WINAPI*)(PULONGLONG);
  static const QueryFunction query =
      reinterpret_cast<QueryFunction>(::GetProcAddress(
          ::GetModuleHandleW(L"kernel32.dll"), "QueryUnbiasedInterruptTime"));
  ULONGLONG time = 0;
  if (query && query(&time)) return static_cast<int64_t>(time / 10);
  LARGE_INTEGER counter, frequency;
  ::QueryPerformanceCounter(&counter);
  ::QueryPerformanceFrequency(&frequency);
  return static_cast<int64_t>(counter.QuadPart / frequency.QuadPart * 1000000 +
                              counter.QuadPart % frequency.QuadPart * 1000000 /
                                  frequency.QuadPart);
}

}  // namespace base
