#include "lite_util/exception_guard.h"

#include <windows.h>

namespace lite {

#if defined(__i386__)

namespace {

// One registration on the thread's exception frame chain, with what the
// handler needs to come back.
struct GuardFrame {
  // First, so that the frame's address is the registration's.
  EXCEPTION_REGISTRATION_RECORD registration;
  void* resume[5];  // __builtin_setjmp buffer
  DWORD code;
};

EXCEPTION_REGISTRATION_RECORD* TopRegistration() {
  return reinterpret_cast<EXCEPTION_REGISTRATION_RECORD*>(__readfsdword(0));
}

void SetTopRegistration(EXCEPTION_REGISTRATION_RECORD* registration) {
  __writefsdword(0, reinterpret_cast<DWORD>(registration));
}

EXCEPTION_DISPOSITION NTAPI GuardHandler(EXCEPTION_RECORD* record,
                                         void* establisher_frame,
                                         CONTEXT* /*context*/,
                                         void* /*dispatcher_context*/) {
  // During an unwind that passes through us there is nothing to do.
  if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) {
    return ExceptionContinueSearch;
  }
  GuardFrame* frame = static_cast<GuardFrame*>(establisher_frame);
  frame->code = record->ExceptionCode;
  // Runs the unwind handlers of the frames registered after ours and
  // unlinks them; returns here with ours on top of the chain.
  ::RtlUnwind(establisher_frame, nullptr, record, nullptr);
  __builtin_longjmp(frame->resume, 1);
}

}  // namespace

bool RunWithExceptionGuard(void (*function)(void*), void* context,
                           uint32_t* code) {
  GuardFrame frame = {};
  frame.registration.Handler = GuardHandler;
  frame.registration.Next = TopRegistration();
  // `frame` is only touched through memory after the jump back.
  GuardFrame* volatile guard = &frame;
  if (__builtin_setjmp(frame.resume) == 0) {
    SetTopRegistration(&guard->registration);
    function(context);
    SetTopRegistration(guard->registration.Next);
    return true;
  }
  SetTopRegistration(guard->registration.Next);
  if (code) *code = guard->code;
  return false;
}

#else
#error "The exception guard is written for 32-bit x86 Windows."
#endif

}  // namespace lite
