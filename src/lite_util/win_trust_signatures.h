// The Authenticode signatures of a file as WinVerifyTrust checks them.
#ifndef LITE_UTIL_WIN_TRUST_SIGNATURES_H_
#define LITE_UTIL_WIN_TRUST_SIGNATURES_H_

#include <windows.h>

#include <wincrypt.h>
#include <wintrust.h>

#include <cstdint>
#include <optional>
#include <string>

#include "lite_util/trust_decision.h"

namespace lite {

// WINTRUST_SIGNATURE_SETTINGS and the WINTRUST_DATA form that points to it;
// the system headers we build with only know the older, shorter form.
struct WinTrustSignatureSettings {
  DWORD cbStruct;
  DWORD dwIndex;
  DWORD dwFlags;
  DWORD cSecondarySigs;
  DWORD dwVerifiedSigIndex;
  void* pCryptoPolicy;
};
struct WinTrustDataWithSettings {
  WINTRUST_DATA data;
  WinTrustSignatureSettings* pSignatureSettings;
};
inline constexpr DWORD kWssVerifySpecific = 0x1;
inline constexpr DWORD kWssGetSecondarySigCount = 0x2;

// The chain error bits that mean a chain does not lead to a trusted root:
// a bad signature in it, an untrusted or missing root, a cycle, or a
// certificate the user distrusts.
bool ChainReachesTrustedRoot(DWORD chain_error_status);

// SHA-256 of a certificate's public-key bit string; none when it has unused
// bits.
std::optional<Sha256Digest> PublicKeyDigest(const CRYPT_BIT_BLOB& key);

// One request for one file, kept for all of its checks. Each check runs
// under the exception guard; an exception answers -1.
class WinTrustSignatures : public AuthenticodeSignatures {
 public:
  // With `prevents_network_use` revocation is not checked and URLs are only
  // looked up in the cache.
  WinTrustSignatures(std::wstring path, bool prevents_network_use);
  WinTrustSignatures(const WinTrustSignatures&) = delete;
  WinTrustSignatures& operator=(const WinTrustSignatures&) = delete;
  ~WinTrustSignatures() override;

  SignatureCheck Check(uint32_t index, bool hash_only) override;
  std::optional<SignerFacts> ExtractSigner() override;
  uint32_t VerifyFileSigner() override;
  void Close() override;

 private:
  // WinVerifyTrust on the request, guarded; -1 on an exception.
  LONG CallWinVerifyTrust(uint32_t* code);

  std::wstring path_;
  WINTRUST_FILE_INFO file_info_ = {};
  WinTrustSignatureSettings settings_ = {};
  WinTrustDataWithSettings request_ = {};
};

}  // namespace lite

#endif  // LITE_UTIL_WIN_TRUST_SIGNATURES_H_
