#include "lite_util/seh_guard.h"

#include <windows.h>

#include <cstdint>

namespace lite {
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

// One frame in the thread's exception registration chain (fs:[0]), followed
// by what the handler needs to return to the guard.
struct GuardFrame {
  GuardFrame* next;
  void* handler;
  intptr_t jump_buffer[5];
  DelayLoadFailure* failure;
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

extern "C" EXCEPTION_DISPOSITION __cdecl GuardHandler(
    EXCEPTION_RECORD* record, void* frame, CONTEXT*, void*) {
  if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) {
    return ExceptionContinueSearch;
  }
  auto* guard = static_cast<GuardFrame*>(frame);
  RecordException(record, guard->failure);
  // Let the frames above ours clean up, then resume in the guard.
  ::RtlUnwind(frame, nullptr, record, nullptr);
  __builtin_longjmp(guard->jump_buffer, 1);
}

GuardFrame* CurrentFrame() {
  GuardFrame* frame;
  asm volatile("movl %%fs:0, %0" : "=r"(frame));
  return frame;
}

void SetCurrentFrame(GuardFrame* frame) {
  asm volatile("movl %0, %%fs:0" : : "r"(frame) : "memory");
}

// Kept out of line so that its frame (and the registration record in it)
// lives exactly as long as the guarded call.
__attribute__((noinline)) bool GuardedCall(GuardedFunction function,
                                           void* context,
                                           DelayLoadFailure* failure) {
  volatile GuardFrame frame = {};
  GuardFrame* self = const_cast<GuardFrame*>(&frame);
  self->next = CurrentFrame();
  self->handler = reinterpret_cast<void*>(&GuardHandler);
  self->failure = failure;
  if (__builtin_setjmp(self->jump_buffer) == 0) {
    SetCurrentFrame(self);
    function(context);
    SetCurrentFrame(self->next);
    return true;
  }
  // Back from the handler: registers are not to be trusted, the frame in
  // memory is. RtlUnwind left fs:[0] at our record; drop it.
  SetCurrentFrame(const_cast<GuardFrame*>(&frame)->next);
  return false;
}

}  // namespace

bool RunWithSehGuard(GuardedFunction function, void* context,
                     DelayLoadFailure* failure) {
  if (failure) *failure = DelayLoadFailure();
  return GuardedCall(function, context, failure);
}

}  // namespace lite
