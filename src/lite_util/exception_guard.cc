#include "lite_util/exception_guard.h"

#include <windows.h>

#include <string>

namespace lite {

#if defined(__i386__)

namespace {

constexpr DWORD kDelayLoadModuleNotFound = 0xC06D007E;

// What the delay-load helper passes as the exception's first parameter.
struct DelayLoadProc {
  BOOL import_by_name;
  union {
    LPCSTR name;
    DWORD ordinal;
  };
};
struct DelayLoadInfo {
  DWORD size;
  const void* descriptor;
  FARPROC* thunk;
  LPCSTR dll_name;
  DelayLoadProc proc;
  HMODULE module;
  FARPROC function;
  DWORD last_error;
};

// Copies a C string of the exception's parameters, which may point
// anywhere: only readable bytes are taken.
std::string SafeString(LPCSTR text) {
  std::string result;
  if (!text) return result;
  for (size_t i = 0; i < 1024; ++i) {
    if (::IsBadReadPtr(text + i, 1) || text[i] == '\0') break;
    result += text[i];
  }
  return result;
}

void RecordException(const EXCEPTION_RECORD* record,
                     DelayLoadFailure* failure) {
  if (!failure) return;
  failure->code = record->ExceptionCode;
  failure->dll_name.clear();
  failure->procedure_name.clear();
  if (record->ExceptionCode != kDelayLoadModuleNotFound ||
      record->NumberParameters < 1) {
    return;
  }
  const auto* info =
      reinterpret_cast<const DelayLoadInfo*>(record->ExceptionInformation[0]);
  if (!info || ::IsBadReadPtr(info, sizeof(*info))) return;
  failure->dll_name = SafeString(info->dll_name);
  if (info->proc.import_by_name) {
    failure->procedure_name = SafeString(info->proc.name);
  }
}

// One registration on the thread's exception frame chain, with what the
// handler needs to come back.
struct GuardFrame {
  // First, so that the frame's address is the registration's.
  EXCEPTION_REGISTRATION_RECORD registration;
  void* resume[5];  // __builtin_setjmp buffer
  DWORD code;
  DelayLoadFailure* failure;
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
  RecordException(record, frame->failure);
  // Runs the unwind handlers of the frames registered after ours and
  // unlinks them; returns here with ours on top of the chain.
  ::RtlUnwind(establisher_frame, nullptr, record, nullptr);
  __builtin_longjmp(frame->resume, 1);
}

}  // namespace

bool RunWithExceptionGuard(void (*function)(void*), void* context,
                           uint32_t* code, DelayLoadFailure* failure) {
  if (failure) *failure = DelayLoadFailure();
  GuardFrame frame = {};
  frame.failure = failure;
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
