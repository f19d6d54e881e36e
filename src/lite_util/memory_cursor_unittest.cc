#include "lite_util/memory_cursor.h"

#include <cstdint>
#include <limits>

#include "gtest/gtest.h"

namespace lite {
namespace {

TEST(MemoryCursorTest, SeekStaysWithinTheSource) {
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
  const struct {
    int64_t start;  // position before the seek
    int64_t offset;
    int origin;
    int64_t result;  // -1: refused, position unchanged
  } kCases[] = {
      {0, 0, 0, 0},     {0, 10, 0, 10},   {0, 11, 0, -1},   {0, -1, 0, -1},
      {4, 3, 1, 7},     {4, -4, 1, 0},    {4, -5, 1, -1},   {4, 7, 1, -1},
      {0, 0, 2, 10},    {0, -10, 2, 0},   {0, 1, 2, -1},    {0, -11, 2, -1},
      {4, 5, 3, 0},     {4, 5, -1, 0},    {4, kMax, 1, -1}, {4, kMin, 1, -1},
      {0, kMax, 2, -1}, {0, kMin, 2, -1},
  };
  const char kBytes[] = "0123456789";
  for (const auto& c : kCases) {
    MemoryCursor cursor(std::string_view(kBytes, 10));
    ASSERT_EQ(cursor.Seek(c.start, 0), c.start);
    EXPECT_EQ(cursor.Seek(c.offset, c.origin), c.result)
        << c.start << " " << c.offset << " " << c.origin;
    EXPECT_EQ(static_cast<int64_t>(cursor.position()),
              c.result < 0 ? c.start : c.result);
  }
}

TEST(MemoryCursorTest, ReadStopsAtTheEnd) {
  MemoryCursor cursor("abcdef");
  char out[8] = {};
  EXPECT_EQ(cursor.Read(out, 4), 4u);
  EXPECT_EQ(std::string_view(out, 4), "abcd");
  EXPECT_EQ(cursor.Read(out, 8), 2u);
  EXPECT_EQ(std::string_view(out, 2), "ef");
  EXPECT_EQ(cursor.Read(out, 8), 0u);
  EXPECT_EQ(cursor.Seek(-1, 2), 5);
  EXPECT_EQ(cursor.Read(out, 8), 1u);
  EXPECT_EQ(out[0], 'f');
}

}  // namespace
}  // namespace lite
