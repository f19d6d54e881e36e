// Reads the distribution tag attached to a signed executable after signing:
// either inside dummy certificates added to the signature's certificate set,
// or in a "Zact" block placed after the signature blob. Both readers take
// the file's bytes and never read outside them.
#ifndef LITE_INSTALLER_BRAND_INSTALLER_TAG_H_
#define LITE_INSTALLER_BRAND_INSTALLER_TAG_H_

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace lite {

enum class TagReadError {
  kNone,
  // The PE headers or the certificate table could not be found.
  kNoCertificateTable,
  // The signature's DER structure is malformed.
  kInvalidAsn1,
};

struct CertificateTag {
  std::string tag;  // empty when no dummy certificate carries one
  TagReadError error = TagReadError::kNone;
};

// The 112 bytes a dummy certificate's TBSCertificate content starts with.
std::span<const uint8_t> DummyCertificatePrefix();

// The concatenated tag texts of all dummy certificates, in set order.
CertificateTag ExtractTagFromCertificateTable(std::span<const uint8_t> file);

// The tag of a "Zact" block after the signature blob, or empty.
std::string ReadTagBlockFromBytes(std::span<const uint8_t> file);

}  // namespace lite

#endif  // LITE_INSTALLER_BRAND_INSTALLER_TAG_H_
