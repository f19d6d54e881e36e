// Owner of a window made by this program.
#ifndef BASE_SCOPED_WINDOW_H_
#define BASE_SCOPED_WINDOW_H_

#include <windows.h>

#include "base/scoped_generic.h"

namespace base {

// Only the thread that created a window can destroy it. From any other
// thread the window is asked to close itself (WM_CLOSE, which its default
// procedure answers with DestroyWindow on its own thread), so an owner that
// ends on another thread does not leave the window behind.
struct WindowTraits {
  static HWND InvalidValue() { return nullptr; }
  static bool IsValid(HWND window) { return window != nullptr; }
  void Free(HWND window) const {
    if (::GetWindowThreadProcessId(window, nullptr) == ::GetCurrentThreadId()) {
      ::DestroyWindow(window);
    } else {
      ::PostMessageW(window, WM_CLOSE, 0, 0);
    }
  }
};
using ScopedWindow = ScopedGeneric<HWND, WindowTraits>;

}  // namespace base

#endif  // BASE_SCOPED_WINDOW_H_
