#include "base/string_util.h"

#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>

#include "gtest/gtest.h"

namespace base {
namespace {

// The number formatting writes what printf writes for the same conversion,
// at the extremes, with widths below, at and above the digit count, and
// with negative numbers (the sign counts towards the width).
TEST(StringUtilTest, NumbersAreFormattedAsPrintfFormatsThem) {
  constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  constexpr uint64_t kAll = std::numeric_limits<uint64_t>::max();
  const int64_t decimals[] = {0, 7, -7, 42, -42, 999, -1000, 2026, kMin, kMax};
  const uint64_t hexes[] = {0, 0xA, 0xFF, 0x1234, 0xDEADBEEF, kAll};
  char expected[64];
  for (int width : {0, 1, 2, 3, 4, 8, 25}) {
    for (int64_t value : decimals) {
      std::snprintf(expected, sizeof(expected), "%0*lld", width,
                    static_cast<long long>(value));
      std::string text = "x";
      AppendDecimal(&text, value, width);
      EXPECT_EQ(text, std::string("x") + expected) << value << " " << width;
    }
    for (uint64_t value : hexes) {
      for (bool upper : {false, true}) {
        std::snprintf(expected, sizeof(expected), upper ? "%0*llX" : "%0*llx",
                      width, static_cast<unsigned long long>(value));
        std::string text;
        AppendHex(&text, value, width, upper);
        EXPECT_EQ(text, expected) << value << " " << width;
      }
    }
  }
  EXPECT_EQ(NumberToString(kMin), "-9223372036854775808");
  EXPECT_EQ(NumberToString(kAll), "18446744073709551615");
  EXPECT_EQ(NumberToString(uint32_t{4294967295u}), "4294967295");
  EXPECT_EQ(NumberToString(int32_t{-2147483647 - 1}), "-2147483648");
}

// 8-bit text stored in a wide registry value comes back byte for byte; a
// value edited by someone else may hold characters that stand for no byte.
TEST(StringUtilTest, WidenedBytesComeBackOrNotAtAll) {
  std::string all;
  for (int byte = 0; byte < 256; ++byte) all.push_back(static_cast<char>(byte));
  std::string bytes;
  ASSERT_TRUE(NarrowWidenedBytes(WidenSignedBytes(all), &bytes));
  EXPECT_EQ(bytes, all);
  ASSERT_TRUE(NarrowWidenedBytes(WidenBytes(all), &bytes));
  EXPECT_EQ(bytes, all);

  const struct {
    std::wstring wide;
    bool ok;
    std::string bytes;
  } kCases[] = {
      {L"", true, ""},
      {L"brand=\x00FF\xFF80", true, "brand=\xFF\x80"},
      {L"\x0131", false, ""},  // dotless i, whose low byte is "1"
      {L"ab\x0100", false, ""},
      {L"\xFF7F", false, ""},
      {L"\x4E2D\x6587", false, ""},
  };
  for (const auto& c : kCases) {
    bytes = "left over";
    EXPECT_EQ(NarrowWidenedBytes(c.wide, &bytes), c.ok) << WideToUTF8(c.wide);
    EXPECT_EQ(bytes, c.bytes) << WideToUTF8(c.wide);
  }
}

}  // namespace
}  // namespace base
