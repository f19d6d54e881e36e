// Contains Windows structured exceptions (access violations, RaiseException)
// raised by a call into code we do not control.
#ifndef LITE_UTIL_EXCEPTION_GUARD_H_
#define LITE_UTIL_EXCEPTION_GUARD_H_

#include <windows.h>

#include <cstdint>
#include <utility>

#include "lite_util/system_checks.h"

namespace lite {

// Runs `function(context)`. A structured exception that leaves it ends the
// call: the frames in between are unwound (their own handlers run), the
// exception code is stored and the answer is false. Otherwise true.
//
// GCC has no __try/__except on 32-bit Windows, so the guard registers an
// exception frame of its own on the thread's frame chain (fs:0), and its
// handler unwinds to that frame and jumps back. C++ destructors of objects
// inside `function` do not run when an exception ends it: keep the guarded
// code to plain calls on data owned outside it.
//
// `failure` (optional) receives the code too and, for a delay-load failure
// (0xC06D007E), the module and (when imported by name) the procedure that
// could not be loaded.
bool RunWithExceptionGuard(void (*function)(void*), void* context,
                           uint32_t* code, DelayLoadFailure* failure = nullptr);

// The same for a callable.
template <typename Function>
bool RunGuarded(Function&& function, uint32_t* code) {
  auto thunk = [](void* context) {
    (*static_cast<std::remove_reference_t<Function>*>(context))();
  };
  return RunWithExceptionGuard(thunk, &function, code);
}

// A call into system code made under the guard: what it returned and the
// last error it left, or the exception that ended it.
template <typename Result>
struct GuardedCall {
  bool raised = false;
  Result result{};  // value-initialised when it raised
  DWORD error = 0;
  DelayLoadFailure exception;
};

// Runs `function` (which returns a value and reports failures through the
// last error, as WinINet does) under the guard.
template <typename Function>
auto RunGuardedCall(Function&& function) -> GuardedCall<decltype(function())> {
  GuardedCall<decltype(function())> call;
  auto run = [&] {
    call.result = function();
    call.error = ::GetLastError();
  };
  auto thunk = [](void* context) { (*static_cast<decltype(run)*>(context))(); };
  call.raised = !RunWithExceptionGuard(thunk, &run, nullptr, &call.exception);
  return call;
}

}  // namespace lite

#endif  // LITE_UTIL_EXCEPTION_GUARD_H_
