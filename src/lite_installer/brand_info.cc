#include "lite_installer/brand_info.h"

#include <utility>

namespace lite {

BrandInfo::BrandInfo(std::wstring temp_path)
    : temp_path_(std::move(temp_path)) {}

bool BrandInfo::GetInfo(const std::string& brand_name) {
  if (!brand_name.empty()) brand_name_ = brand_name;
  return true;
}

void BrandInfo::FillDefaults() {
  if (brand_id_.empty()) brand_id_ = "zarvex";
  if (brand_name_.empty()) brand_name_ = "zarvex";
  if (language_.empty()) language_ = "en";
  if (send_statistics_ == 0) send_statistics_ = 1;
}

}  // namespace lite
