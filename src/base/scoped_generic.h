// One owner for every kind of system object: ScopedGeneric<T, Traits> holds
// a value of T and gives it back to the system with Traits when it goes.
//
// A traits type provides
//   static T InvalidValue();          what an empty owner holds
//   static bool IsValid(T value);     whether `value` needs freeing
//   void Free(T value) const;         gives a valid value back
// Free may use state of the traits object (the window a device context
// belongs to, the context an object was selected into); stateless traits
// cost nothing.
#ifndef BASE_SCOPED_GENERIC_H_
#define BASE_SCOPED_GENERIC_H_

#include <windows.h>

#include <utility>

namespace base {

template <typename T, typename Traits>
class ScopedGeneric {
 public:
  using element_type = T;
  using traits_type = Traits;

  ScopedGeneric() = default;
  explicit ScopedGeneric(T value) : value_(value) {}
  ScopedGeneric(T value, const Traits& traits)
      : value_(value), traits_(traits) {}
  ScopedGeneric(ScopedGeneric&& other) noexcept
      : value_(other.Take()), traits_(std::move(other.traits_)) {}
  ScopedGeneric& operator=(ScopedGeneric&& other) noexcept {
    if (this != &other) {
      Reset(other.Take());
      traits_ = std::move(other.traits_);
    }
    return *this;
  }
  ScopedGeneric(const ScopedGeneric&) = delete;
  ScopedGeneric& operator=(const ScopedGeneric&) = delete;
  ~ScopedGeneric() { Reset(); }

  bool IsValid() const { return Traits::IsValid(value_); }
  T Get() const { return value_; }
  const Traits& traits() const { return traits_; }

  // Frees the value held (the caller's last-error code is kept, so that a
  // failure can still be reported after its objects went) and holds `value`
  // instead. Holding the same value again frees nothing.
  void Reset(T value = Traits::InvalidValue()) {
    if (value == value_) return;
    const T old = std::exchange(value_, value);
    if (Traits::IsValid(old)) {
      const DWORD error = ::GetLastError();
      traits_.Free(old);
      ::SetLastError(error);
    }
  }

  // Gives up ownership: the caller frees what comes back.
  [[nodiscard]] T Take() {
    return std::exchange(value_, Traits::InvalidValue());
  }

  // Frees the value held and returns where a system call may store a new
  // one (an out-parameter).
  T* Receive() {
    Reset();
    return &value_;
  }

 private:
  T value_ = Traits::InvalidValue();
  [[no_unique_address]] Traits traits_;
};

}  // namespace base

#endif  // BASE_SCOPED_GENERIC_H_
