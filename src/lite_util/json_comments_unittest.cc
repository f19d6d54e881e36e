#include "lite_util/json_comments.h"

#include <string>

#include "gtest/gtest.h"

namespace lite {
namespace {

TEST(JsonCommentsTest, StripTable) {
  const struct {
    std::string text;
    bool ok;
    std::string out;  // stripped text, or the error
  } kCases[] = {
      {"", true, ""},
      {"{\"a\"://c\n1}", true, "{\"a\": \n1}"},
      {"[1]// end", true, "[1] "},
      {"[/* x */1]", true, "[ 1]"},
      {"tr/**/ue", true, "tr ue"},
      {"\"//not a comment\"", true, "\"//not a comment\""},
      {"\"esc \\\" /* still string\"", true, "\"esc \\\" /* still string\""},
      {"\"unterminated /*", true, "\"unterminated /*"},
      {"\"ends in backslash\\", true, "\"ends in backslash\\"},
      {"/*/ */x", true, " x"},
      {"/", false, "unexpected character"},
      {"[1] /x", false, "unexpected character"},
      {"/*/", false, "premature end of input"},
      {"/* never", false, "premature end of input"},
      {"/**", false, "premature end of input"},
      // The text ends at its first NUL byte.
      {std::string("[1]\0/x", 6), true, "[1]"},
      {std::string("\"a\0b\"", 5), true, "\"a"},
      {std::string("/*\0*/", 5), false, "premature end of input"},
  };
  for (const auto& c : kCases) {
    StrippedJson result = StripJsonComments(c.text);
    EXPECT_EQ(result.ok, c.ok) << c.text;
    EXPECT_EQ(c.ok ? result.text : result.error, c.out) << c.text;
  }
}

}  // namespace
}  // namespace lite
