#include "lite_util/extended_check_policy.h"

#include "lite_util/windows_version.h"

namespace lite {
namespace {

// True when `running` is a version below the valid version `limit`.
bool IsBelow(std::string_view running, const std::vector<uint32_t>& limit) {
  std::optional<std::vector<uint32_t>> version = ParseDottedVersion(running);
  return version && CompareVersions(*version, limit) < 0;
}

}  // namespace

std::optional<std::vector<uint32_t>> ParseDottedVersion(std::string_view text) {
  std::vector<uint32_t> parts;
  size_t begin = 0;
  while (true) {
    size_t end = text.find('.', begin);
    std::string_view part = text.substr(begin, end == std::string_view::npos
                                                   ? std::string_view::npos
                                                   : end - begin);
    if (part.empty() || part.size() > 9) return std::nullopt;
    uint32_t value = 0;
    for (char c : part) {
      if (c < '0' || c > '9') return std::nullopt;
      value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    parts.push_back(value);
    if (parts.size() > 4) return std::nullopt;
    if (end == std::string_view::npos) return parts;
    begin = end + 1;
  }
}

int CompareVersions(const std::vector<uint32_t>& a,
                    const std::vector<uint32_t>& b) {
  size_t count = a.size() > b.size() ? a.size() : b.size();
  for (size_t i = 0; i < count; ++i) {
    uint32_t left = i < a.size() ? a[i] : 0;
    uint32_t right = i < b.size() ? b[i] : 0;
    if (left != right) return left < right ? -1 : 1;
  }
  return 0;
}

bool IsExtendedCheckAllowedFor(const ExtendedCheckSwitches& switches,
                               int windows_version_class,
                               std::string_view windows_version,
                               std::string_view crypt32_version) {
  if (windows_version_class >= kWindows10 || !switches.win7update) {
    return false;
  }
  if (std::optional<std::vector<uint32_t>> limit =
          ParseDottedVersion(switches.win7_version)) {
    if (!IsBelow(windows_version, *limit)) return false;
  }
  if (std::optional<std::vector<uint32_t>> limit =
          ParseDottedVersion(switches.crypt_version)) {
    return IsBelow(crypt32_version, *limit);
  }
  return true;
}

}  // namespace lite
