// Owners of Windows handles that close them on every path.
#ifndef BASE_SCOPED_HANDLE_H_
#define BASE_SCOPED_HANDLE_H_

#include <windows.h>

#include <utility>

namespace base {

// Owns a kernel handle; a null or INVALID_HANDLE_VALUE handle is "not valid".
class ScopedHandle {
 public:
  ScopedHandle() = default;
  explicit ScopedHandle(HANDLE handle) : handle_(handle) {}
  ScopedHandle(ScopedHandle&& other) noexcept : handle_(other.Take()) {}
  ScopedHandle& operator=(ScopedHandle&& other) noexcept {
    Reset(other.Take());
    return *this;
  }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  ~ScopedHandle() { Reset(); }

  bool IsValid() const {
    return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE;
  }
  HANDLE Get() const { return handle_; }
  // Closes the current handle (keeping the caller's last-error value) and
  // owns `handle` instead.
  void Reset(HANDLE handle = nullptr) {
    if (IsValid()) {
      DWORD error = ::GetLastError();
      ::CloseHandle(handle_);
      ::SetLastError(error);
    }
    handle_ = handle;
  }
  HANDLE Take() { return std::exchange(handle_, nullptr); }

 private:
  HANDLE handle_ = nullptr;
};

}  // namespace base

#endif  // BASE_SCOPED_HANDLE_H_
