#include "lite_util/json_with_comments.h"

#include <string>

#include "gtest/gtest.h"
#include "lite_util/json_comments.h"

namespace lite {
namespace {

// Compact, key-sorted dump for comparisons; "" when nothing was read.
std::string Read(const std::string& text) {
  ScopedJson json = LoadJsonWithComments(text);
  if (!json) return "";
  char* dump = json_dumps(json.get(), JSON_COMPACT | JSON_SORT_KEYS);
  std::string result = dump;
  free(dump);
  return result;
}

TEST(JsonWithCommentsTest, AcceptedTexts) {
  const std::string base64(172, 'A');
  const struct {
    std::string text;
    std::string json;
  } kCases[] = {
      {"//" + base64 + "\n{\"a\": 1}\n", R"({"a":1})"},
      {"//" + base64 + "\r\n{\"a\": 1}", R"({"a":1})"},
      {"{\"a\": 1}\n// last line without a break", R"({"a":1})"},
      {"{/*1*/\"k\"/*2*/:/*3*/\"v\"/*4*/}", R"({"k":"v"})"},
      {"{\"url\": \"http://x/*y*/z\"}", R"({"url":"http://x/*y*/z"})"},
      {"{\"q\": \"a\\\"//b\"}", R"({"q":"a\"//b"})"},
      {"/**/ /* a */ // b\n[1, /* c */ 2] /* d */ // e", "[1,2]"},
      {"/* a ** / still comment */ [true]", "[true]"},
      {"[1]/**/", "[1]"},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(Read(c.text), c.json) << c.text;
  }
}

// Texts are read up to their first NUL byte, as json_loads reads C strings:
// a list or configuration stored with a terminating NUL stays readable.
TEST(JsonWithCommentsTest, TextEndsAtTheFirstNul) {
  using namespace std::string_literals;
  const struct {
    std::string text;
    std::string json;  // "" when nothing is read
  } kCases[] = {
      {"{\"a\": 1}\0"s, R"({"a":1})"},
      {"//c\n{\"a\": 1}\n\0\0 /x after the end"s, R"({"a":1})"},
      {"[1] /* closed after the NUL \0 */"s, ""},
      {"{\"a\": \"b\0c\"}"s, ""},
      {"\0{\"a\": 1}"s, ""},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(Read(c.text), c.json) << c.text;
  }
}

TEST(JsonWithCommentsTest, RejectedTexts) {
  const struct {
    const char* text;
    const char* error;  // of the comment pass, "" when Jansson rejects it
  } kCases[] = {
      {"{\"a\": 1} /", "unexpected character"},
      {"{\"a\": 1} /x", "unexpected character"},
      {"{\"a\": 1} /* never closed", "premature end of input"},
      {"[1] /*/", "premature end of input"},
      {"// only a comment", ""},
      {"", ""},
      {"   ", ""},
      {"[tr/**/ue]", ""},
      {"[1] [2]", ""},
      {"\"a string\"", ""},
      {"{\"a\": 1", ""},
      {"{\"unterminated", ""},
      {"{\"esc\\", ""},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(Read(c.text), "") << c.text;
    EXPECT_EQ(StripJsonComments(c.text).error, c.error) << c.text;
  }
}

}  // namespace
}  // namespace lite
