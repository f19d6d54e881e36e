// Base64 with the standard alphabet ("+", "/", "=" padding).
#ifndef BASE_BASE64_H_
#define BASE_BASE64_H_

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace base {

// Decodes padded Base64 (a multiple of 4 characters, "=" only as the last
// one or two). Anything else, white space included, gives no value; so does
// a last group whose unused bits are not zero.
std::optional<std::vector<uint8_t>> Base64Decode(std::string_view text);

std::string Base64Encode(std::span<const uint8_t> bytes);

}  // namespace base

#endif  // BASE_BASE64_H_
