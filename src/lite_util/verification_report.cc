#include "lite_util/verification_report.h"

namespace lite {
namespace {

VerificationReportObserver& Observer() {
  static VerificationReportObserver* observer = new VerificationReportObserver;
  return *observer;
}

}  // namespace

void VerificationReport::Set(std::string_view key, std::string value) {
  for (auto& [name, text] : values_) {
    if (name == key) {
      text = std::move(value);
      return;
    }
  }
  values_.emplace_back(std::string(key), std::move(value));
}

void VerificationReport::SetNumber(std::string_view key, int64_t value) {
  Set(key, std::to_string(value));
}

std::string VerificationReport::Get(std::string_view key) const {
  for (const auto& [name, text] : values_) {
    if (name == key) return text;
  }
  return std::string();
}

bool VerificationReport::Has(std::string_view key) const {
  for (const auto& value : values_) {
    if (value.first == key) return true;
  }
  return false;
}

void SetVerificationReportObserver(VerificationReportObserver observer) {
  Observer() = std::move(observer);
}

const VerificationReportObserver& GetVerificationReportObserver() {
  return Observer();
}

}  // namespace lite
