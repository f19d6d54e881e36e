// Chooses a brand package from the user's region and interface language.
#ifndef LITE_INSTALLER_BRAND_BRAND_AUTODETECT_H_
#define LITE_INSTALLER_BRAND_BRAND_AUTODETECT_H_

#include <string>
#include <string_view>

namespace lite {

inline constexpr char kDefaultBrandName[] = "zarvex";

// The brand name of the first row of the autodetection table that matches
// (an empty region or language in a row matches anything), or nullptr.
const char* DetectBrandName(std::string_view region, std::string_view language);

// The user's two-letter region code, or empty when the system knows none.
std::string UserRegion();

// Detects the brand name for this user and logs how; "zarvex" when no row
// matches.
std::string AutodetectBrandName();

}  // namespace lite

#endif  // LITE_INSTALLER_BRAND_BRAND_AUTODETECT_H_
