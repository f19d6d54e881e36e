// When a signature whose certificate chain does not validate may still be
// accepted on its file hash alone (older Windows only).
#ifndef LITE_UTIL_EXTENDED_CHECK_POLICY_H_
#define LITE_UTIL_EXTENDED_CHECK_POLICY_H_

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace lite {

// The switches of the hash-only fallback. Their values are fixed in this
// program (kExtendedCheckSwitches); nothing configures them.
struct ExtendedCheckSwitches {
  // Permits the fallback at all ("win7update").
  bool win7update = true;
  // Refuse it on this Windows version and later ("win7-version"); empty or
  // not a version: no limit.
  std::string_view win7_version;
  // Refuse it with this crypt32.dll version and later ("crypt-version");
  // empty or not a version: no limit.
  std::string_view crypt_version;
  // Re-check a signature that passed with CryptMsgGetAndVerifySigner.
  bool verify_signer = false;
};
inline constexpr ExtendedCheckSwitches kExtendedCheckSwitches{};

// "a.b.c.d" (one to four decimal parts); no value for anything else.
std::optional<std::vector<uint32_t>> ParseDottedVersion(std::string_view text);

// Negative, zero or positive like a three-way comparison; missing parts
// count as 0.
int CompareVersions(const std::vector<uint32_t>& a,
                    const std::vector<uint32_t>& b);

// `windows_version_class` is the WindowsVersion() classification (kWindows10
// and above are Windows 10 and later); the version texts are what
// GetWindowsVersion and GetCrypt32DllVersion answer. A running version that
// cannot be read is not lower than a limit.
bool IsExtendedCheckAllowedFor(const ExtendedCheckSwitches& switches,
                               int windows_version_class,
                               std::string_view windows_version,
                               std::string_view crypt32_version);

}  // namespace lite

#endif  // LITE_UTIL_EXTENDED_CHECK_POLICY_H_
