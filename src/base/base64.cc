#include "base/base64.h"

#include <openssl/evp.h>

#include <algorithm>

namespace base {
namespace {

// 0..63, or -1 for a character outside the alphabet.
int DigitValue(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

}  // namespace

// Decoding reads hostile input (trusted lists, tags), so it is our own
// strict decoder rather than libcrypto's, which skips blanks and padding.
std::optional<std::vector<uint8_t>> Base64Decode(std::string_view text) {
  if (text.size() % 4 != 0) return std::nullopt;
  size_t padding = 0;
  if (!text.empty() && text.back() == '=') {
    padding = text.size() >= 2 && text[text.size() - 2] == '=' ? 2 : 1;
  }
  std::vector<uint8_t> bytes;
  bytes.reserve(text.size() / 4 * 3);
  for (size_t group = 0; group < text.size(); group += 4) {
    bool last = group + 4 == text.size();
    size_t digits = last ? 4 - padding : 4;
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i) {
      int digit = 0;
      if (i < digits) {
        digit = DigitValue(text[group + i]);
        if (digit < 0) return std::nullopt;
      }
      value = value << 6 | static_cast<uint32_t>(digit);
    }
    // Two digits carry one byte, three carry two; the rest must be zero.
    size_t count = digits - 1;
    if (count < 3 && (value & ((1u << (8 * (3 - count))) - 1)) != 0) {
      return std::nullopt;
    }
    for (size_t i = 0; i < count; ++i) {
      bytes.push_back(static_cast<uint8_t>(value >> (16 - 8 * i)));
    }
  }
  return bytes;
}

std::string Base64Encode(std::span<const uint8_t> bytes) {
  // Encoding takes no untrusted input: libcrypto's encoder does it, in
  // pieces of whole three-byte groups so that every length fits its int.
  constexpr size_t kPiece = 3 * 16384;
  std::string text((bytes.size() + 2) / 3 * 4, '\0');
  size_t written = 0;
  for (size_t i = 0; i < bytes.size(); i += kPiece) {
    const size_t count = std::min(kPiece, bytes.size() - i);
    written += static_cast<size_t>(
        EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data() + written),
                        bytes.data() + i, static_cast<int>(count)));
  }
  text.resize(written);
  return text;
}

}  // namespace base
