// The owner of a WinINet handle (session, connection or request).
#ifndef BASE_SCOPED_INTERNET_HANDLE_H_
#define BASE_SCOPED_INTERNET_HANDLE_H_

#include <windows.h>

#include <wininet.h>

#include "base/scoped_generic.h"

namespace base {

struct InternetHandleTraits {
  static HINTERNET InvalidValue() { return nullptr; }
  static bool IsValid(HINTERNET handle) { return handle != nullptr; }
  void Free(HINTERNET handle) const { ::InternetCloseHandle(handle); }
};
using ScopedInternetHandle = ScopedGeneric<HINTERNET, InternetHandleTraits>;

}  // namespace base

#endif  // BASE_SCOPED_INTERNET_HANDLE_H_
