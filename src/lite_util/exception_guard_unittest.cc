#include "lite_util/exception_guard.h"

#include <windows.h>

#include "gtest/gtest.h"

namespace lite {
namespace {

void* TopFrame() { return reinterpret_cast<void*>(__readfsdword(0)); }

TEST(ExceptionGuardTest, ReturnsNormallyOrWithTheCode) {
  void* frame_before = TopFrame();
  int calls = 0;
  uint32_t code = 0;
  EXPECT_TRUE(RunGuarded([&] { ++calls; }, &code));
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(code, 0u);

  EXPECT_FALSE(RunGuarded(
      [&] {
        ++calls;
        ::RaiseException(0xE0001234, 0, 0, nullptr);
        ++calls;  // not reached
      },
      &code));
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(code, 0xE0001234u);

  // The thread's frame chain is as it was, so the guard works again.
  EXPECT_EQ(TopFrame(), frame_before);
  EXPECT_FALSE(RunGuarded([] { ::RaiseException(7, 0, 0, nullptr); }, &code));
  EXPECT_EQ(code, 7u);
}

TEST(ExceptionGuardTest, AccessViolation) {
  void* frame_before = TopFrame();
  uint32_t code = 0;
  volatile int* nowhere = nullptr;
  EXPECT_FALSE(RunGuarded([&] { *nowhere = 1; }, &code));
  EXPECT_EQ(TopFrame(), frame_before);
  if (code == EXCEPTION_ILLEGAL_INSTRUCTION) {
    GTEST_SKIP() << "under the user-mode emulator (qemu-i386) Wine receives "
                    "a write to address 0 as an illegal instruction "
                    "(0xC000001D); the guard caught it and gave its code";
  }
  EXPECT_EQ(code, static_cast<uint32_t>(EXCEPTION_ACCESS_VIOLATION));
}

TEST(ExceptionGuardTest, InnerGuardHandlesItsOwn) {
  uint32_t inner_code = 0, outer_code = 0;
  bool inner_result = true;
  int after_inner = 0;
  EXPECT_TRUE(RunGuarded(
      [&] {
        inner_result = RunGuarded(
            [] { ::RaiseException(0xE0000001, 0, 0, nullptr); }, &inner_code);
        ++after_inner;
      },
      &outer_code));
  EXPECT_FALSE(inner_result);
  EXPECT_EQ(inner_code, 0xE0000001u);
  EXPECT_EQ(after_inner, 1);
  EXPECT_EQ(outer_code, 0u);

  // An exception thrown past an inner guard's frame reaches the outer one.
  EXPECT_FALSE(RunGuarded(
      [&] {
        RunGuarded([] {}, &inner_code);
        ::RaiseException(0xE0000002, 0, 0, nullptr);
      },
      &outer_code));
  EXPECT_EQ(outer_code, 0xE0000002u);
}

// A guarded call hands back its result and its last error, or the code of
// the exception that ended it.
TEST(ExceptionGuardTest, GuardedCallKeepsResultAndLastError) {
  GuardedCall<int> done = RunGuardedCall([] {
    ::SetLastError(ERROR_CANCELLED);
    return 42;
  });
  EXPECT_FALSE(done.raised);
  EXPECT_EQ(done.result, 42);
  EXPECT_EQ(done.error, static_cast<DWORD>(ERROR_CANCELLED));

  GuardedCall<int> raised = RunGuardedCall([] {
    ::RaiseException(0xE0000003, 0, 0, nullptr);
    return 42;
  });
  EXPECT_TRUE(raised.raised);
  EXPECT_EQ(raised.result, 0);
  EXPECT_EQ(raised.exception.code, 0xE0000003u);
}

// A missing delay-loaded module: its name and the procedure come along.
TEST(ExceptionGuardTest, DelayLoadFailureNamesModuleAndProcedure) {
  // The delay-load helper's record: size, descriptor, thunk, module name,
  // by-name flag, procedure name, module, function, last error.
  struct {
    DWORD size;
    const void* descriptor;
    void* thunk;
    const char* dll;
    BOOL by_name;
    const char* procedure;
    HMODULE module;
    void* function;
    DWORD last_error;
  } info = {sizeof(info),     nullptr, nullptr, "cplib.dll", TRUE,
            "CryptoProCheck", nullptr, nullptr, 126};
  const struct {
    BOOL by_name;
    DWORD parameters;
    const char* dll;
    const char* procedure;
  } kCases[] = {
      {TRUE, 1, "cplib.dll", "CryptoProCheck"},
      {FALSE, 1, "cplib.dll", ""},  // by ordinal
      {TRUE, 0, "", ""},            // no record at all
  };
  for (const auto& c : kCases) {
    info.by_name = c.by_name;
    ULONG_PTR argument = reinterpret_cast<ULONG_PTR>(&info);
    DelayLoadFailure failure;
    auto raise = [&] {
      ::RaiseException(0xC06D007E, 0, c.parameters, &argument);
    };
    auto thunk = [](void* context) {
      (*static_cast<decltype(raise)*>(context))();
    };
    EXPECT_FALSE(RunWithExceptionGuard(thunk, &raise, nullptr, &failure));
    EXPECT_EQ(failure.code, 0xC06D007Eu);
    EXPECT_EQ(failure.dll_name, c.dll);
    EXPECT_EQ(failure.procedure_name, c.procedure);
  }
}

}  // namespace
}  // namespace lite
