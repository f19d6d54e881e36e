// The trust rules over recorded signature facts: what each check of each
// signature answered and what its signer chain looked like. This covers
// what Wine's WinVerifyTrust cannot show (nested signatures, a hash-only
// check that passes), next to the runs on real signed files in
// test/blackbox/trust_test.py.
#include "lite_util/trust_decision.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "gtest/gtest.h"
#include "lite_util/verification_report.h"
#include "test/support/recording_logger.h"

namespace lite {
namespace {

constexpr int32_t kUntrustedRoot = static_cast<int32_t>(0x800B0109);
constexpr int32_t kBadDigest = static_cast<int32_t>(0x80096010);
constexpr int32_t kNoSignature = static_cast<int32_t>(0x800B0100);
constexpr uint32_t kAccessViolation = 0xC0000005;

const std::vector<uint8_t> kSha1Id = {0x11, 0x22, 0x01};
const std::vector<uint8_t> kSha256Id = {0x11, 0x22, 0x02};

Sha256Digest Key(uint8_t fill) {
  Sha256Digest digest;
  digest.fill(fill);
  return digest;
}

// What one signature of a file answers.
struct Recorded {
  int32_t result = 0;            // the full check
  int32_t hash_only_result = 0;  // a check with the hash-only flag
  uint32_t raised_exception = 0;
  std::optional<SignerFacts> signer;
  uint32_t signer_check = 0;  // VerifyFileSigner
};

enum Chain { kTrustedChain, kUntrustedChain };

SignerFacts Sha1Signer(Chain chain) {
  return {kSha1Id, false, Key(0xA1), chain == kTrustedChain};
}
SignerFacts Sha256Signer(Chain chain) {
  return {kSha256Id, true, Key(0xA2), chain == kTrustedChain};
}

Recorded Passes(std::optional<SignerFacts> signer) {
  return {0, 0, 0, std::move(signer)};
}
// The chain does not validate; the hash alone does.
Recorded ChainFails(SignerFacts signer) {
  return {kUntrustedRoot, 0, 0, std::move(signer)};
}
Recorded Broken(int32_t result) { return {result, result, 0, std::nullopt}; }
Recorded Throws(uint32_t code) { return {-1, -1, code, std::nullopt}; }

class RecordedSignatures : public AuthenticodeSignatures {
 public:
  explicit RecordedSignatures(std::vector<Recorded> signatures)
      : signatures_(std::move(signatures)) {}

  SignatureCheck Check(uint32_t index, bool hash_only) override {
    calls_.push_back({index, hash_only});
    EXPECT_LT(index, signatures_.size());
    current_ = index < signatures_.size() ? &signatures_[index] : nullptr;
    open_ = true;
    SignatureCheck check;
    check.secondary_signatures = static_cast<uint32_t>(signatures_.size() - 1);
    if (!current_) return check;
    check.result = hash_only ? current_->hash_only_result : current_->result;
    check.raised_exception = current_->raised_exception;
    return check;
  }
  std::optional<SignerFacts> ExtractSigner() override {
    return current_ ? current_->signer : std::nullopt;
  }
  uint32_t VerifyFileSigner() override {
    return current_ ? current_->signer_check : 1;
  }
  void Close() override { open_ = false; }

  const std::vector<std::pair<uint32_t, bool>>& calls() const { return calls_; }
  bool open() const { return open_; }

 private:
  std::vector<Recorded> signatures_;
  const Recorded* current_ = nullptr;
  std::vector<std::pair<uint32_t, bool>> calls_;
  bool open_ = false;
};

TrustedCertificateList MakeList(
    const std::vector<std::pair<std::vector<uint8_t>,
                                std::optional<Sha256Digest>>>& entries) {
  TrustedCertificateList list;
  for (const auto& [id, key] : entries) list.Add(id, key);
  return list;
}

TrustEnvironment Windows7() {
  TrustEnvironment env;
  env.extended_check_allowed = true;
  env.windows10_or_later = false;
  env.crypt_version = "6.1.7601.24000";
  env.windows_version = "6.1.7601.0";
  return env;
}

TrustEnvironment Windows10() {
  TrustEnvironment env;
  env.crypt_version = "10.0.19041.1";
  env.windows_version = "10.0.19045.3803";
  return env;
}

// The report as "key=value ..." in the order the keys were set, without the
// two version keys every handed-over report carries.
std::string Describe(const VerificationReport& report) {
  std::string text;
  for (const auto& [key, value] : report.values()) {
    if (key == "crypt_version" || key == "win_version") continue;
    if (!text.empty()) text += ' ';
    text += key + "=" + value;
  }
  return text;
}

class TrustDecisionTest : public testing::Test {
 protected:
  void SetUp() override {
    logger_ = RecordingLogger::Install();
    SetVerificationReportObserver(
        [this](std::string_view name, const VerificationReport& report) {
          EXPECT_EQ(name, "win-verify-update");
          EXPECT_TRUE(report.Has("crypt_version"));
          EXPECT_TRUE(report.Has("win_version"));
          reports_.push_back(Describe(report));
        });
  }
  void TearDown() override { SetVerificationReportObserver(nullptr); }

  RecordingLogger* logger_ = nullptr;
  std::vector<std::string> reports_;
};

const std::wstring kPath = L"C:\\users\\u\\Temp\\zb1.tmp";

TEST_F(TrustDecisionTest, Table) {
  using Entries =
      std::vector<std::pair<std::vector<uint8_t>, std::optional<Sha256Digest>>>;
  const Entries kBoth = {{kSha1Id, Key(0xA1)}, {kSha256Id, Key(0xA2)}};
  const Entries kSha1Only = {{kSha1Id, Key(0xA1)}};
  const Entries kIdsOnly = {{kSha1Id, std::nullopt}, {kSha256Id, std::nullopt}};
  const Entries kOtherKeys = {{kSha1Id, Key(0x99)}, {kSha256Id, Key(0x99)}};
  SignerFacts no_digest = Sha256Signer(kUntrustedChain);
  no_digest.public_key_digest.reset();
  Recorded signer_refused = ChainFails(Sha256Signer(kTrustedChain));
  signer_refused.signer_check = 5;
  TrustEnvironment verify_signer = Windows7();
  verify_signer.verify_signer = true;
  const std::string kHashFallback =
      "extended_check=1 error_code_original=" + std::to_string(kUntrustedRoot);

  const struct {
    const char* name;
    TrustEnvironment env;
    Entries list;
    std::vector<Recorded> signatures;
    bool trusted;
    std::vector<std::string> reports;              // in the order handed over
    std::vector<std::pair<uint32_t, bool>> calls;  // (index, hash only)
  } kCases[] = {
      // Primary and nested signatures, SHA-1 and SHA-256 signers.
      {"sha1 listed, nested sha256 not listed",
       Windows10(),
       kSha1Only,
       {Passes(Sha1Signer(kTrustedChain)), Passes(Sha256Signer(kTrustedChain))},
       false,
       {"error_type=find error_code=1"},
       {{0, false}, {1, false}}},
      {"sha1 listed, nested sha256 listed: trusted at the sha256 one",
       Windows7(),
       kBoth,
       {Passes(Sha1Signer(kTrustedChain)), Passes(Sha256Signer(kTrustedChain)),
        Broken(kBadDigest)},
       true,
       {"error_type=ok_sha256"},
       {{0, false}, {1, false}}},
      {"sha256 not listed rules out the sha1 after it",
       Windows10(),
       kSha1Only,
       {Passes(Sha256Signer(kTrustedChain)), Passes(Sha1Signer(kTrustedChain))},
       false,
       {"error_type=find error_code=1",
        "error_type=s2_fail_ignore_s1 error_code=1"},
       {{0, false}, {1, false}}},
      {"sha1 listed alone",
       Windows7(),
       kSha1Only,
       {Passes(Sha1Signer(kTrustedChain))},
       true,
       {"error_type=ok"},
       {{0, false}}},
      {"a report of error_type alone stays home on Windows 10",
       Windows10(),
       kBoth,
       {Passes(Sha256Signer(kTrustedChain))},
       true,
       {},
       {{0, false}}},
      // The hash-only fallback.
      {"Windows 7: chain fails, the hash passes, key matches",
       Windows7(),
       kBoth,
       {ChainFails(Sha256Signer(kUntrustedChain))},
       true,
       {kHashFallback + " error_type=ok_sha256"},
       {{0, false}, {0, true}}},
      {"Windows 10: no fallback",
       Windows10(),
       kBoth,
       {ChainFails(Sha256Signer(kUntrustedChain))},
       false,
       {"error_type=hash error_code=" + std::to_string(kUntrustedRoot)},
       {{0, false}}},
      {"Windows 7: the fallback needs the key in the list",
       Windows7(),
       kIdsOnly,
       {ChainFails(Sha256Signer(kUntrustedChain))},
       false,
       {kHashFallback + " error_type=pub_key error_code=1"},
       {{0, false}, {0, true}}},
      {"Windows 7: the fallback with another key",
       Windows7(),
       kOtherKeys,
       {ChainFails(Sha256Signer(kUntrustedChain))},
       false,
       {kHashFallback + " error_type=pub_key error_code=1"},
       {{0, false}, {0, true}}},
      {"the hash-only flag stays for later signatures",
       Windows7(),
       kSha1Only,
       {Broken(kBadDigest), Passes(Sha1Signer(kTrustedChain))},
       true,
       {"extended_check=1 error_code_original=" + std::to_string(kBadDigest) +
            " error_type=hash error_code=" + std::to_string(kBadDigest),
        "error_type=ok"},
       {{0, false}, {0, true}, {1, true}}},
      // A check that passes an untrusted chain (as Wine's does).
      {"untrusted chain passed, key matches",
       Windows10(),
       kBoth,
       {Passes(Sha256Signer(kUntrustedChain))},
       true,
       {},
       {{0, false}}},
      {"untrusted chain passed, list without keys",
       Windows10(),
       kIdsOnly,
       {Passes(Sha256Signer(kUntrustedChain))},
       false,
       {"error_type=pub_key error_code=1"},
       {{0, false}}},
      {"untrusted chain passed, key without a digest",
       Windows10(),
       kBoth,
       {Passes(no_digest)},
       false,
       {"error_type=pub_key error_code=1"},
       {{0, false}}},
      {"trusted chain, list without keys",
       Windows10(),
       kIdsOnly,
       {Passes(Sha256Signer(kTrustedChain))},
       true,
       {},
       {{0, false}}},
      // A key in the list counts whatever the chain: a home-made chain
      // with copied serial numbers may have a root the user trusts.
      {"trusted chain, listed key matches",
       Windows10(),
       kBoth,
       {Passes(Sha256Signer(kTrustedChain))},
       true,
       {},
       {{0, false}}},
      {"trusted chain, listed key differs",
       Windows10(),
       kOtherKeys,
       {Passes(Sha256Signer(kTrustedChain))},
       false,
       {"error_type=pub_key error_code=1"},
       {{0, false}}},
      {"trusted chain, sha1 signer, listed key differs",
       Windows7(),
       kOtherKeys,
       {Passes(Sha1Signer(kTrustedChain))},
       false,
       {"error_type=pub_key error_code=1"},
       {{0, false}}},
      {"trusted chain, listed key, signer key not digestible",
       Windows10(),
       kBoth,
       {Passes([] {
         SignerFacts signer = Sha256Signer(kTrustedChain);
         signer.public_key_digest.reset();
         return signer;
       }())},
       false,
       {"error_type=pub_key error_code=1"},
       {{0, false}}},
      // Failures of single signatures.
      {"unsigned",
       Windows10(),
       kBoth,
       {Broken(kNoSignature)},
       false,
       {"error_type=hash error_code=" + std::to_string(kNoSignature)},
       {{0, false}}},
      {"exception, then a good nested signature",
       Windows10(),
       kBoth,
       {Throws(kAccessViolation), Passes(Sha256Signer(kTrustedChain))},
       true,
       {"error_type=exception error_code=3221225477"},
       {{0, false}, {1, false}}},
      {"no signer to extract",
       Windows10(),
       kBoth,
       {Passes(std::nullopt)},
       false,
       {"error_type=extract error_code=1"},
       {{0, false}}},
      {"signer re-check fails",
       verify_signer,
       kBoth,
       {signer_refused},
       false,
       {kHashFallback + " error_type=signer error_code=1"},
       {{0, false}, {0, true}}},
      {"empty list: nothing is checked",
       Windows10(),
       {},
       {Passes(Sha256Signer(kTrustedChain))},
       false,
       {},
       {}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    reports_.clear();
    RecordedSignatures recorded(c.signatures);
    EXPECT_EQ(DecideTrust(MakeList(c.list), recorded, kPath, false, c.env),
              c.trusted);
    EXPECT_EQ(reports_, c.reports);
    EXPECT_EQ(recorded.calls(), c.calls);
    EXPECT_FALSE(recorded.open()) << "the trust state was left open";
  }
}

TEST_F(TrustDecisionTest, LogLines) {
  const std::string path = "C:\\users\\u\\Temp\\zb1.tmp";
  TrustedCertificateList list = MakeList({{kSha256Id, Key(0xA2)}});

  RecordedSignatures thrown({Throws(kAccessViolation)});
  EXPECT_FALSE(DecideTrust(list, thrown, kPath, true, Windows10()));
  EXPECT_TRUE(logger_->Has("An attempt to verify " + path +
                           " generated an exception 3221225477,"
                           " is_prevents_net_usage = 1"));
  EXPECT_TRUE(logger_->Has("KNOWN_ERROR_untrusted_certificate"));
  EXPECT_TRUE(logger_->Has("Can not find any trusted certificates. " + path));

  RecordedSignatures fallback({ChainFails(Sha256Signer(kUntrustedChain))});
  EXPECT_TRUE(DecideTrust(list, fallback, kPath, false, Windows7()));
  EXPECT_TRUE(logger_->Has("Start additional sha256 verification. " + path +
                           " Error code: -2146762487"));
  EXPECT_TRUE(logger_->Has("Extended verification success. " + path +
                           " Error code: 0"));
  EXPECT_TRUE(logger_->Has("File successfully verified with sha256. " + path));

  RecordedSignatures unlisted({Passes(Sha256Signer(kUntrustedChain))});
  EXPECT_FALSE(DecideTrust(MakeList({{kSha256Id, std::nullopt}}), unlisted,
                           kPath, false, Windows10()));
  EXPECT_TRUE(logger_->Has("Public key is not match. " + path));
  EXPECT_TRUE(
      logger_->Has("Can not find sertificate in trusted list. " + path));
  EXPECT_TRUE(logger_->Has("SHA256 verification failed. " + path));
  for (const LogRecord& record : logger_->Records()) {
    EXPECT_STREQ(record.function, "VerifyModuleImpl") << record.text;
  }
}

}  // namespace
}  // namespace lite
