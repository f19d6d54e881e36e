#include "base/guid.h"

#include <windows.h>

#include <objbase.h>

#include <string>

#include "base/monotonic_clock.h"
#include "base/string_util.h"
#include "gtest/gtest.h"

namespace base {
namespace {

// The same text as the system's own formatter, sign and padding included.
TEST(GuidTest, TextAsTheSystemWritesIt) {
  const GUID kGuids[] = {
      {},
      {0x0000000A, 0x000B, 0x000C, {0, 1, 2, 3, 4, 5, 6, 7}},
      {0xFFFFFFFF, 0xFFFF, 0xFFFF, {255, 255, 255, 255, 255, 255, 255, 255}},
      {0x2A848E25,
       0xD688,
       0x4AA3,
       {0x8E, 0x55, 0x0C, 0x16, 0xCB, 0x3A, 0x2D, 0xFB}},
  };
  for (const GUID& guid : kGuids) {
    wchar_t system[40];
    ASSERT_EQ(::StringFromGUID2(guid, system, 40), 39);
    EXPECT_EQ(GuidToString(guid), WideToUTF8(system));
  }
  EXPECT_EQ(GuidToString(kGuids[1]), "{0000000A-000B-000C-0001-020304050607}");
}

TEST(GuidTest, NewGuidsDiffer) {
  const std::string first = NewGuidString();
  const std::string second = NewGuidString();
  ASSERT_EQ(first.size(), 38u);
  EXPECT_EQ(first.front(), '{');
  EXPECT_EQ(first.back(), '}');
  EXPECT_NE(first, second);
}

// Microseconds that go on with the wall clock and never back.
TEST(MonotonicClockTest, CountsMicroseconds) {
  // The clock may move in steps of a timer tick (15.6 ms): the bounds allow
  // two of them.
  const int64_t before = MonotonicMicroseconds();
  ::Sleep(100);
  const int64_t after = MonotonicMicroseconds();
  EXPECT_GE(after - before, 100000 - 2 * 15625);
  EXPECT_LT(after - before, 5000000);
}

}  // namespace
}  // namespace base
