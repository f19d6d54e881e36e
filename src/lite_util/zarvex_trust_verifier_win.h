// Whether a setup package may be run: its own trusted list, authenticated
// with one of the built-in keys, must name the signer of one of its valid
// Authenticode signatures.
#ifndef LITE_UTIL_ZARVEX_TRUST_VERIFIER_WIN_H_
#define LITE_UTIL_ZARVEX_TRUST_VERIFIER_WIN_H_

#include <string>
#include <string_view>

#include "lite_util/trusted_certificate_list.h"

namespace lite {

// The package's trusted list ("TRUSTED.JSON"), once its signature
// ("SIGNATURE.DAT") has been checked with the key it names; empty on any
// failure. `path` must be absolute.
std::string GetTrustJsonFromModule(const std::wstring& path);

class TrustVerifier {
 public:
  // An empty or unreadable list trusts nothing.
  explicit TrustVerifier(std::string_view json);

  // Checks the file's signatures against the list. With
  // `prevents_network_use` revocation is not checked.
  bool VerifyModule(const std::wstring& path, bool prevents_network_use);

  const TrustedCertificateList& list() const { return list_; }

 private:
  bool VerifyModuleImpl(const std::wstring& path, bool prevents_network_use);

  TrustedCertificateList list_;
};

// The hash-only fallback is allowed: Windows 8.1 and older.
bool IsExtendedCheckAllowed();

// "major.minor.build.revision" of the running Windows; the revision is the
// update build revision from the registry (0 when it has none).
std::string GetWindowsVersion();

// The file version of the system's crypt32.dll, "a.b.c.d"; empty when it
// cannot be read.
std::string GetCrypt32DllVersion();

}  // namespace lite

#endif  // LITE_UTIL_ZARVEX_TRUST_VERIFIER_WIN_H_
