#include "lite_util/trust_decision.h"

#include "lite_util/logging/log_message.h"
#include "lite_util/verification_report.h"

// These are the steps of the trust verifier's signature walk; the log names
// them so.
#undef LITE_LOG_FUNCTION
#define LITE_LOG_FUNCTION "VerifyModuleImpl"

namespace lite {
namespace {

// Lists name signers by serial numbers, and anyone can issue a certificate
// with chosen serial numbers; a root that vouches for it can be added to
// the user's trusted roots by any program the user runs. So a list entry
// that carries the digest of the signer's public key is always held to it,
// whatever the chain. An entry without one is enough only when the signer's
// chain was validated up to a trusted root by a full check.
bool NeedsPublicKeyMatch(const TrustedCertificateList::Entry& entry,
                         const SignerFacts& signer, bool hash_only_check) {
  return entry.public_key_digest.has_value() || kVerifyCertWithPublicKey ||
         hash_only_check || !signer.chain_trusted;
}

bool PublicKeyMatches(const TrustedCertificateList::Entry& entry,
                      const SignerFacts& signer) {
  return entry.public_key_digest && signer.public_key_digest &&
         *entry.public_key_digest == *signer.public_key_digest;
}

// Hands a non-empty report to the observer and empties it.
void HandOver(VerificationReport& report, const TrustEnvironment& env) {
  if (report.empty()) return;
  bool only_error_type = report.size() == 1 && report.Has("error_type");
  report.Set("crypt_version", env.crypt_version);
  report.Set("win_version", env.windows_version);
  const VerificationReportObserver& observer = GetVerificationReportObserver();
  if (observer && !(only_error_type && env.windows10_or_later)) {
    observer("win-verify-update", report);
  }
  report.Clear();
}

void SetError(VerificationReport& report, const char* type, int64_t code) {
  report.Set("error_type", type);
  report.SetNumber("error_code", code);
}

}  // namespace

bool DecideTrust(const TrustedCertificateList& list,
                 AuthenticodeSignatures& signatures, const std::wstring& path,
                 bool prevents_network_use, const TrustEnvironment& env) {
  if (list.empty()) return false;
  bool found = false;
  bool sha256_failed = false;
  // Once the fallback was needed, the remaining signatures are checked on
  // their hash only as well.
  bool hash_only = false;
  VerificationReport report;
  uint32_t index = 0;
  uint32_t secondary_signatures = 0;
  do {
    HandOver(report, env);
    SignatureCheck check = signatures.Check(index, hash_only);
    secondary_signatures = check.secondary_signatures;
    if (check.result == -1) {
      LOG(ERROR) << "An attempt to verify " << path
                 << " generated an exception " << check.raised_exception
                 << ", is_prevents_net_usage = "
                 << (prevents_network_use ? 1 : 0);
      SetError(report, "exception", check.raised_exception);
      continue;
    }
    if (check.result != 0) {
      if (!env.extended_check_allowed) {
        SetError(report, "hash", check.result);
        continue;
      }
      report.SetNumber("extended_check", 1);
      report.SetNumber("error_code_original", check.result);
      LOG(INFO) << "Start additional sha256 verification. " << path
                << " Error code: " << check.result;
      hash_only = true;
      SignatureCheck retry = signatures.Check(index, hash_only);
      secondary_signatures = retry.secondary_signatures;
      LOG(INFO) << "Extended verification "
                << (retry.result == 0 ? "success. " : "failed. ") << path
                << " Error code: " << retry.result;
      if (retry.result != 0) {
        SetError(report, "hash", retry.result);
        continue;
      }
    }
    if (env.verify_signer && env.extended_check_allowed) {
      LOG(INFO) << "Trying to verify the signer of file " << path;
      uint32_t error = signatures.VerifyFileSigner();
      if (error != 0) {
        LOG(INFO) << "Failed to verify signer, error=" << error;
        SetError(report, "signer", 1);
        continue;
      }
      LOG(INFO) << "Signer verified";
    }
    std::optional<SignerFacts> signer = signatures.ExtractSigner();
    if (!signer) {
      LOG(INFO) << "ExtractCertParams failed. " << path;
      SetError(report, "extract", 1);
      continue;
    }
    if (sha256_failed && !signer->sha256) {
      SetError(report, "s2_fail_ignore_s1", 1);
      continue;
    }
    const TrustedCertificateList::Entry* entry =
        list.Find(signer->certificate_id);
    bool listed = entry != nullptr;
    if (listed && NeedsPublicKeyMatch(*entry, *signer, hash_only) &&
        !PublicKeyMatches(*entry, *signer)) {
      LOG(INFO) << "Public key is not match. " << path;
      SetError(report, "pub_key", 1);
      listed = false;
    } else if (!listed) {
      SetError(report, "find", 1);
    }
    if (!listed) {
      LOG(ERROR) << "Can not find sertificate in trusted list. " << path;
      if (signer->sha256) {
        LOG(INFO) << "SHA256 verification failed. " << path;
        found = false;
        sha256_failed = true;
      }
      continue;
    }
    found = true;
    if (signer->sha256) {
      report.Set("error_type", "ok_sha256");
      HandOver(report, env);
      LOG(INFO) << "File successfully verified with sha256. " << path;
      signatures.Close();
      return true;
    }
  } while (++index <= secondary_signatures);

  if (found) {
    report.Set("error_type", "ok");
    LOG(INFO) << "File successfully verified. " << path;
  } else {
    LOG(ERROR) << "KNOWN_ERROR_untrusted_certificate";
    LOG(ERROR) << "Can not find any trusted certificates. " << path;
    if (report.empty()) SetError(report, "no_key", 1);
  }
  HandOver(report, env);
  signatures.Close();
  return found;
}

}  // namespace lite
