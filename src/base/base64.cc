#include "base/base64.h"

namespace base {
namespace {

constexpr char kAlphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

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
  std::string text;
  text.reserve((bytes.size() + 2) / 3 * 4);
  for (size_t i = 0; i < bytes.size(); i += 3) {
    size_t count = bytes.size() - i < 3 ? bytes.size() - i : 3;
    uint32_t value = 0;
    for (size_t j = 0; j < 3; ++j) {
      value = value << 8 | (j < count ? bytes[i + j] : 0);
    }
    for (size_t j = 0; j < 4; ++j) {
      text.push_back(j <= count ? kAlphabet[(value >> (18 - 6 * j)) & 63]
                                : '=');
    }
  }
  return text;
}

}  // namespace base
