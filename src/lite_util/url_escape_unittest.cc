#include "lite_util/url_escape.h"

#include "gtest/gtest.h"

namespace lite {
namespace {

TEST(UrlEscapeTest, KeepsOnlyTheUnreservedSet) {
  const struct {
    std::string_view in;
    const char* out;
  } kCases[] = {
      {"", ""},
      {"AZaz09!'()._~", "AZaz09!'()._~"},
      {"a/b", "a%2Fb"},
      {"%", "%25"},
      {"-*+ ,;=?&#", "%2D%2A%2B%20%2C%3B%3D%3F%26%23"},
      {std::string_view("\0\x7F\x80\xFF", 4), "%00%7F%80%FF"},
      {"\xD0\x96", "%D0%96"},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(EscapeUrlComponent(c.in), c.out) << c.out;
  }
  // Twice, as the statistics do: the percent signs are escaped again.
  EXPECT_EQ(EscapeUrlComponent(EscapeUrlComponent("/")), "%252F");
}

}  // namespace
}  // namespace lite
