// What the trust check tells about one Authenticode signature, for a report
// observer that a host program may register (the installer registers none).
#ifndef LITE_UTIL_VERIFICATION_REPORT_H_
#define LITE_UTIL_VERIFICATION_REPORT_H_

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lite {

// Keys: error_type, error_code, extended_check, error_code_original,
// crypt_version, win_version. Values are text; numbers are decimal.
class VerificationReport {
 public:
  void Set(std::string_view key, std::string value);
  void SetNumber(std::string_view key, int64_t value);
  // Empty when the key is absent.
  std::string Get(std::string_view key) const;
  bool Has(std::string_view key) const;

  bool empty() const { return values_.empty(); }
  size_t size() const { return values_.size(); }
  void Clear() { values_.clear(); }
  // In the order the keys were first set.
  const std::vector<std::pair<std::string, std::string>>& values() const {
    return values_;
  }

 private:
  std::vector<std::pair<std::string, std::string>> values_;
};

// Called with the report's name ("win-verify-update") and the report.
using VerificationReportObserver =
    std::function<void(std::string_view name, const VerificationReport&)>;

// Registers the process-wide observer (an empty function removes it). Set
// before verification starts; not synchronised with running checks.
void SetVerificationReportObserver(VerificationReportObserver observer);
const VerificationReportObserver& GetVerificationReportObserver();

}  // namespace lite

#endif  // LITE_UTIL_VERIFICATION_REPORT_H_
