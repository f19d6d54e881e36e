#include "base/string_util.h"

#include <string>

#include "gtest/gtest.h"

namespace base {
namespace {

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
