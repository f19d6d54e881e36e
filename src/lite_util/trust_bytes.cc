#include "lite_util/trust_bytes.h"

namespace lite {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

}  // namespace

std::optional<ListSignature> ParseListSignature(
    std::span<const uint8_t> resource) {
  if (resource.size() <= 2) return std::nullopt;
  ListSignature result;
  result.key_number = static_cast<uint16_t>(resource[0] | resource[1] << 8);
  result.signature = resource.subspan(2);
  return result;
}

std::vector<uint8_t> CertificateIdFromCryptoApiSerials(
    std::span<const uint8_t> issuer_serial,
    std::span<const uint8_t> signer_serial) {
  std::vector<uint8_t> id(issuer_serial.rbegin(), issuer_serial.rend());
  id.insert(id.end(), signer_serial.rbegin(), signer_serial.rend());
  return id;
}

std::optional<Sha256Digest> ParseHexDigest(std::string_view text) {
  Sha256Digest digest;
  if (text.size() != 2 * digest.size()) return std::nullopt;
  for (size_t i = 0; i < digest.size(); ++i) {
    int high = HexValue(text[2 * i]);
    int low = HexValue(text[2 * i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    digest[i] = static_cast<uint8_t>(high << 4 | low);
  }
  return digest;
}

bool IsAbsoluteWindowsPath(std::wstring_view path) {
  if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    return true;
  }
  if (path.size() < 3) return false;
  wchar_t drive = path[0] | 0x20;
  return drive >= L'a' && drive <= L'z' && path[1] == L':' &&
         IsSeparator(path[2]);
}

}  // namespace lite
