// The byte-level pieces of the package trust check over arbitrary input:
// the list signature resource, Base64 ids, hex digests, version texts and
// package paths. Each answer is checked against what it claims.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/base64.h"
#include "lite_util/extended_check_policy.h"
#include "lite_util/trust_bytes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::span<const uint8_t> bytes(data, size);
  std::string_view text(reinterpret_cast<const char*>(data), size);

  std::optional<lite::ListSignature> signature =
      lite::ParseListSignature(bytes);
  if (signature.has_value() != (size > 2)) __builtin_trap();
  if (signature && signature->signature.size() != size - 2) __builtin_trap();

  // Whatever decodes encodes back to the same text.
  if (std::optional<std::vector<uint8_t>> decoded = base::Base64Decode(text)) {
    if (base::Base64Encode(*decoded) != text) __builtin_trap();
  }

  if (lite::ParseHexDigest(text) && size != 64) __builtin_trap();

  if (std::optional<std::vector<uint32_t>> version =
          lite::ParseDottedVersion(text)) {
    if (version->empty() || version->size() > 4) __builtin_trap();
    if (lite::CompareVersions(*version, *version) != 0) __builtin_trap();
  }

  std::wstring path(text.begin(), text.end());
  lite::IsAbsoluteWindowsPath(path);

  std::span<const uint8_t> half = bytes.first(size / 2);
  std::vector<uint8_t> id =
      lite::CertificateIdFromCryptoApiSerials(half, bytes.subspan(size / 2));
  if (id.size() != size) __builtin_trap();
  return 0;
}
