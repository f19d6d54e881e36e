// The ten public keys that may sign a setup package's trusted list. Their
// values are build configuration (LITE_TRUSTED_LIST_KEYS_FILE); the default
// build embeds the development keys of tools/pki/make_dev_pki.sh.
#ifndef LITE_UTIL_TRUSTED_LIST_KEYS_H_
#define LITE_UTIL_TRUSTED_LIST_KEYS_H_

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace lite {

inline constexpr uint32_t kTrustedListKeyCount = 10;

// Key `number` as DER SubjectPublicKeyInfo; no value above 9 or when its
// built-in text does not decode.
std::optional<std::vector<uint8_t>> TrustedListKey(uint32_t number);

// The same lookup over other key texts (Base64 of the DER form).
std::optional<std::vector<uint8_t>> KeyFromTable(const std::string_view* keys,
                                                 uint32_t count,
                                                 uint32_t number);

}  // namespace lite

#endif  // LITE_UTIL_TRUSTED_LIST_KEYS_H_
