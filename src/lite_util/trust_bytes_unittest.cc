#include "lite_util/trust_bytes.h"

#include <string>
#include <vector>

#include "gtest/gtest.h"

namespace lite {
namespace {

TEST(TrustBytesTest, ListSignatureNeedsMoreThanTheKeyNumber) {
  const std::vector<uint8_t> kEmpty, kNumberOnly = {3, 0},
                                     kOneByte = {0x0a, 0x01, 0xee};
  EXPECT_FALSE(ParseListSignature(kEmpty));
  EXPECT_FALSE(ParseListSignature(kNumberOnly));
  std::optional<ListSignature> parsed = ParseListSignature(kOneByte);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->key_number, 0x010a);  // little-endian
  ASSERT_EQ(parsed->signature.size(), 1u);
  EXPECT_EQ(parsed->signature[0], 0xee);
}

TEST(TrustBytesTest, CertificateIdReversesEachSerialNumber) {
  // CryptoAPI order: least significant byte first.
  const std::vector<uint8_t> kIssuer = {0x03, 0x02, 0x01};
  const std::vector<uint8_t> kSigner = {0xbb, 0xaa};
  EXPECT_EQ(CertificateIdFromCryptoApiSerials(kIssuer, kSigner),
            (std::vector<uint8_t>{0x01, 0x02, 0x03, 0xaa, 0xbb}));
  EXPECT_EQ(CertificateIdFromCryptoApiSerials({}, kSigner),
            (std::vector<uint8_t>{0xaa, 0xbb}));
}

TEST(TrustBytesTest, HexDigest) {
  std::string digest = "00ff" + std::string(58, 'a') + "Bc";
  std::optional<Sha256Digest> parsed = ParseHexDigest(digest);
  ASSERT_TRUE(parsed);
  EXPECT_EQ((*parsed)[0], 0x00);
  EXPECT_EQ((*parsed)[1], 0xff);
  EXPECT_EQ((*parsed)[31], 0xbc);
  for (const std::string& bad :
       {std::string(), std::string(62, '0'), std::string(66, '0'),
        std::string(63, '0') + "g", std::string(63, '0') + " "}) {
    EXPECT_FALSE(ParseHexDigest(bad)) << bad;
  }
}

TEST(TrustBytesTest, AbsolutePaths) {
  const struct {
    const wchar_t* path;
    bool absolute;
  } kCases[] = {
      {L"C:\\temp\\zb1.tmp", true},
      {L"z:/tmp/a", true},
      {L"\\\\server\\share\\a", true},
      {L"//?/C:/a", true},
      {L"C:", false},
      {L"C:file", false},
      {L"1:\\a", false},
      {L"\\temp\\a", false},
      {L"temp\\a", false},
      {L"", false},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(IsAbsoluteWindowsPath(c.path), c.absolute) << c.path;
  }
}

}  // namespace
}  // namespace lite
