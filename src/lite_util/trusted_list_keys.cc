#include "lite_util/trusted_list_keys.h"

#include "base/base64.h"
#include "lite_util/trusted_list_keys_data.h"

namespace lite {

std::optional<std::vector<uint8_t>> KeyFromTable(const std::string_view* keys,
                                                 uint32_t count,
                                                 uint32_t number) {
  if (number >= count) return std::nullopt;
  return base::Base64Decode(keys[number]);
}

std::optional<std::vector<uint8_t>> TrustedListKey(uint32_t number) {
  static_assert(std::size(kTrustedListKeyTexts) == kTrustedListKeyCount);
  return KeyFromTable(kTrustedListKeyTexts, kTrustedListKeyCount, number);
}

}  // namespace lite
