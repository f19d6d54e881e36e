#include "lite_util/signature_verifier.h"

#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "test/support/recording_logger.h"

namespace lite {
namespace {

std::vector<uint8_t> FromHex(const std::string& hex) {
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(
        static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

// Made once with OpenSSL (an RSA-1024 key whose private half was thrown
// away): `openssl dgst -sha1 -sign` over kData, and the key's DER
// SubjectPublicKeyInfo.
const std::string kData = "the trusted list";
const std::vector<uint8_t> kPublicKey = FromHex(
    "30819f300d06092a864886f70d010101050003818d0030818902818100a997bb"
    "b515627118c410802a07eb11adca7c1529e2c2510c6d5c29f3ff568c6702f5b0"
    "d62dca92d9e7a39476ed515c3fec6b425201fbb0c6654d790bbecec92a94ef74"
    "aac41cf27169e25bd69af1a21798fff4ec8fd0fb6a759763242ac303d60b4924"
    "1b7b49ddcc67b43ba1fc8bf5f5e8c02de9c8addeee7fd367089b8a3dbb020301"
    "0001");
const std::vector<uint8_t> kSignature = FromHex(  // most significant first
    "863b52d065c9089cf441fa5742ad6ec9a25cf98747aaf3fb1b954e3d2f78d214"
    "9b6f0fb5ea38b119b38b1e18e5f0378a2210c5ff71f11aa1aaf568e536eb72b3"
    "7ca40676748b71325740d21d5161478dceb7910dd2d8e0ce0f0dcfeced0d1237"
    "29a836ad3329005abf83637cc9d0364d39a8e8c1caf3c85852c0fd4c4e5085db");

std::span<const uint8_t> Bytes(const std::string& text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

class SignatureVerifierTest : public testing::Test {
 protected:
  void SetUp() override { logger_ = RecordingLogger::Install(); }
  RecordingLogger* logger_ = nullptr;
};

TEST_F(SignatureVerifierTest, ByteOrderOfTheSignature) {
  SignatureVerifier verifier;
  EXPECT_TRUE(verifier.Verify(kSignature, kPublicKey, Bytes(kData)));
  EXPECT_TRUE(logger_->Records().empty());

  // Least significant byte first, as CryptSignHash writes it.
  std::vector<uint8_t> reversed(kSignature.rbegin(), kSignature.rend());
  EXPECT_FALSE(verifier.Verify(reversed, kPublicKey, Bytes(kData)));
  ASSERT_EQ(logger_->Records().size(), 1u);
  LogRecord record = logger_->Records()[0];
  EXPECT_EQ(record.severity, LOG_ERROR);
  EXPECT_STREQ(record.function, "VerifySignature");
  EXPECT_EQ(record.text.rfind("Failed to verify signature, error: ", 0), 0u)
      << record.text;

  EXPECT_FALSE(verifier.Verify(kSignature, kPublicKey, Bytes("other data")));
  EXPECT_FALSE(verifier.Verify({}, kPublicKey, Bytes(kData)));
}

TEST_F(SignatureVerifierTest, KeyThatIsNotSubjectPublicKeyInfo) {
  // The RSAPublicKey inside the SubjectPublicKeyInfo, without its wrapper.
  std::vector<uint8_t> bare_key(kPublicKey.begin() + 22, kPublicKey.end());
  for (const std::vector<uint8_t>& key :
       {bare_key, std::vector<uint8_t>(), std::vector<uint8_t>(162, 0x30)}) {
    SignatureVerifier verifier;
    ASSERT_TRUE(verifier.Initialize());
    ASSERT_TRUE(verifier.HashData(Bytes(kData)));
    EXPECT_FALSE(verifier.ImportPublicKey(key));
    EXPECT_FALSE(verifier.Verify(kSignature, key, Bytes(kData)));
  }
  for (const LogRecord& record : logger_->Records()) {
    EXPECT_STREQ(record.function, "ImportPublicKey");
    EXPECT_EQ(
        record.text.rfind("Failed to convert decode public key, error: ", 0),
        0u)
        << record.text;
  }
  EXPECT_EQ(logger_->Records().size(), 6u);
}

TEST_F(SignatureVerifierTest, SameAnswerEveryTime) {
  SignatureVerifier verifier;
  for (int i = 0; i < 3; ++i) {
    EXPECT_TRUE(verifier.Verify(kSignature, kPublicKey, Bytes(kData)));
  }
  std::vector<uint8_t> reversed(kSignature.rbegin(), kSignature.rend());
  for (int i = 0; i < 2; ++i) {
    EXPECT_FALSE(verifier.Verify(reversed, kPublicKey, Bytes(kData)));
  }
  EXPECT_TRUE(verifier.Verify(kSignature, kPublicKey, Bytes(kData)));
  verifier.Cleanup();
  verifier.Cleanup();
  // Only the two failed checks logged; releasing never failed.
  EXPECT_EQ(logger_->Records().size(), 2u);
}

}  // namespace
}  // namespace lite
