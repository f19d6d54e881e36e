// Byte-level pieces of the setup package's trust check: the list signature
// resource, certificate ids, public-key digests written in hex and package
// paths. No system calls; every length is checked before use.
#ifndef LITE_UTIL_TRUST_BYTES_H_
#define LITE_UTIL_TRUST_BYTES_H_

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace lite {

using Sha256Digest = std::array<uint8_t, 32>;

// The package's "SIGNATURE.DAT": the number of the key that signed the
// trusted list (16-bit little-endian) followed by the signature, most
// significant byte first.
struct ListSignature {
  uint16_t key_number = 0;
  std::span<const uint8_t> signature;
};
// No value unless the resource is longer than the two bytes of the number.
std::optional<ListSignature> ParseListSignature(
    std::span<const uint8_t> resource);

// A signer's certificate id: the issuer's serial number followed by the
// signer's, each most significant byte first. CryptoAPI keeps serial numbers
// least significant byte first, which is what these take.
std::vector<uint8_t> CertificateIdFromCryptoApiSerials(
    std::span<const uint8_t> issuer_serial,
    std::span<const uint8_t> signer_serial);

// Exactly 64 hexadecimal digits (either case), or no value.
std::optional<Sha256Digest> ParseHexDigest(std::string_view text);

// Drive letter, colon and separator ("C:\", "c:/"), or a leading double
// separator (a network or device path).
bool IsAbsoluteWindowsPath(std::wstring_view path);

}  // namespace lite

#endif  // LITE_UTIL_TRUST_BYTES_H_
