// The decision whether a setup package is trusted, over what the checks of
// its Authenticode signatures tell. The checks themselves (WinVerifyTrust)
// sit behind AuthenticodeSignatures, so the rules can also be run over
// recorded facts.
#ifndef LITE_UTIL_TRUST_DECISION_H_
#define LITE_UTIL_TRUST_DECISION_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "lite_util/trust_bytes.h"
#include "lite_util/trusted_certificate_list.h"

namespace lite {

// The answer of one check of one signature.
struct SignatureCheck {
  // 0 when the signature passed, -1 when the check raised an exception,
  // otherwise the error (a WinVerifyTrust result).
  int32_t result = 0;
  uint32_t raised_exception = 0;
  // How many signatures follow the primary one.
  uint32_t secondary_signatures = 0;
};

// The signer of a signature that passed its check.
struct SignerFacts {
  // Issuer's serial number then signer's, most significant byte first.
  std::vector<uint8_t> certificate_id;
  // The signer certificate is signed with sha256WithRSAEncryption.
  bool sha256 = false;
  // SHA-256 of the signer's raw public key; none when it cannot be taken
  // (a key bit string with unused bits).
  std::optional<Sha256Digest> public_key_digest;
  // The signer's chain was built up to a trusted root (read from the chain
  // the check built, whatever the check answered).
  bool chain_trusted = false;
};

// The signatures of one file, checked one after the other.
class AuthenticodeSignatures {
 public:
  virtual ~AuthenticodeSignatures() = default;
  // Checks signature `index` (0 is the primary one), releasing the state of
  // the previous check; `hash_only` checks the file hash without the chain.
  virtual SignatureCheck Check(uint32_t index, bool hash_only) = 0;
  // The signer of the last check; none unless it has exactly one signer with
  // a chain of at least two certificates.
  virtual std::optional<SignerFacts> ExtractSigner() = 0;
  // A second opinion on the file's primary signer; 0 or an error code.
  virtual uint32_t VerifyFileSigner() = 0;
  // Releases the state of the last check.
  virtual void Close() = 0;
};

// "verifyCertWithPublicKey": when on, every listed signer must also match
// the list entry's public-key digest. Fixed off; still, an entry that
// carries a digest must always match it, and one is required whenever the
// signer's chain was not validated (see the .cc).
inline constexpr bool kVerifyCertWithPublicKey = false;

// What the decision needs to know of the machine.
struct TrustEnvironment {
  // The hash-only fallback may be tried (Windows 8.1 and older).
  bool extended_check_allowed = false;
  // Re-check a passed signature with VerifyFileSigner first (only together
  // with the fallback).
  bool verify_signer = false;
  // Reports holding nothing but error_type are not handed over.
  bool windows10_or_later = true;
  // Added to every report that is handed over.
  std::string crypt_version;
  std::string windows_version;
};

// Goes through the file's signatures and answers whether one of them is
// valid and made by a listed signer (the rules are in the .cc). Logs each
// step, hands every report to the registered observer and closes the
// signatures' state before it returns.
bool DecideTrust(const TrustedCertificateList& list,
                 AuthenticodeSignatures& signatures, const std::wstring& path,
                 bool prevents_network_use, const TrustEnvironment& env);

}  // namespace lite

#endif  // LITE_UTIL_TRUST_DECISION_H_
