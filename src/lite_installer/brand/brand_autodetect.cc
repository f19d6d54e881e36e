#include "lite_installer/brand/brand_autodetect.h"

#include <windows.h>

#include "base/string_util.h"
#include "lite_installer/ui_language.h"
#include "lite_util/logging/log_message.h"

namespace lite {
namespace {

struct AutodetectRow {
  const char* region;
  const char* language;
  const char* brand_name;
};

constexpr AutodetectRow kAutodetectTable[] = {
    {"RU", "uk", "ua_uk"}, {"RU", "", "zarvex"}, {"UA", "ru", "ua_ru"},
    {"UA", "", "ua_uk"},   {"TR", "", "tb"},     {"", "ru", "zarvex"},
    {"", "uk", "ua_uk"},   {"", "tr", "tb"},
};

bool Matches(std::string_view pattern, std::string_view value) {
  return pattern.empty() || pattern == value;
}

}  // namespace

const char* DetectBrandName(std::string_view region,
                            std::string_view language) {
  for (const AutodetectRow& row : kAutodetectTable) {
    if (Matches(row.region, region) && Matches(row.language, language)) {
      return row.brand_name;
    }
  }
  return nullptr;
}

std::string UserRegion() {
  GEOID geo = ::GetUserGeoID(GEOCLASS_NATION);
  if (geo == GEOID_NOT_AVAILABLE) return std::string();
  wchar_t code[3];
  if (::GetGeoInfoW(geo, GEO_ISO2, code, 3, 0) != 3) return std::string();
  return base::NarrowLowBytes(std::wstring_view(code, 2));
}

std::string AutodetectBrandName() {
  std::string region = UserRegion();
  LOG(INFO) << "User region: " << region;
  std::string language = UserInterfaceLanguageCode();
  LOG(INFO) << "User locale: " << language;
  if (const char* brand_name = DetectBrandName(region, language)) {
    LOG(INFO) << "Detected brand-name: " << brand_name;
    return brand_name;
  }
  LOG(INFO) << "Didn't found brand-name. Use default: " << kDefaultBrandName;
  return kDefaultBrandName;
}

}  // namespace lite
