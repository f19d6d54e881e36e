#include "base/base64.h"

#include <optional>
#include <string>
#include <vector>

#include "gtest/gtest.h"

namespace base {
namespace {

TEST(Base64Test, DecodeTable) {
  const struct {
    std::string text;
    std::optional<std::string> bytes;
  } kCases[] = {
      {"", ""},
      {"QQ==", "A"},
      {"QUI=", "AB"},
      {"QUJD", "ABC"},
      {"+/+/", "\xfb\xff\xbf"},
      {"QUJD=", std::nullopt},  // not a multiple of four
      {"QUJ", std::nullopt},
      {"QQ=A", std::nullopt},      // padding inside a group
      {"QQ==QUJD", std::nullopt},  // padding before the end
      {"====", std::nullopt},
      {"Q===", std::nullopt},
      {"QR==", std::nullopt},  // unused bits set
      {"QUJ=", std::nullopt},
      {"QU D", std::nullopt},  // white space
      {"QUJ-", std::nullopt},  // URL-safe alphabet
      {std::string("QU\0D", 4), std::nullopt},
  };
  for (const auto& c : kCases) {
    std::optional<std::vector<uint8_t>> decoded = Base64Decode(c.text);
    ASSERT_EQ(decoded.has_value(), c.bytes.has_value()) << c.text;
    if (decoded) {
      EXPECT_EQ(std::string(decoded->begin(), decoded->end()), *c.bytes)
          << c.text;
    }
  }
}

TEST(Base64Test, RoundTripOfEveryLength) {
  std::vector<uint8_t> bytes;
  for (int length = 0; length < 70; ++length) {
    std::string text = Base64Encode(bytes);
    EXPECT_EQ(Base64Decode(text), bytes) << text;
    bytes.push_back(static_cast<uint8_t>(length * 37 + 200));
  }
}

}  // namespace
}  // namespace base
