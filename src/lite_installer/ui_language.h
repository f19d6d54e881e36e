// The installer's 16 interface languages: their codes, their Windows
// language ids, string lookup in the string table, and the display scale.
#ifndef LITE_INSTALLER_UI_LANGUAGE_H_
#define LITE_INSTALLER_UI_LANGUAGE_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace lite {

// Code of a system interface language id; "en" for any other id.
std::string LanguageCodeForSystemLanguage(uint16_t system_language);
// The code of the user's interface language (GetUserDefaultUILanguage).
std::string UserInterfaceLanguageCode();
// Language id of a code (exact, case-sensitive); 1033 for any other code.
uint16_t InterfaceLanguageId(std::string_view code);

// String `id` of the string table in `language_id`, empty when absent; no
// fall-back to another language.
std::wstring LoadUiString(uint32_t id, uint16_t language_id);

// Reads the longest leading decimal floating-point number of `text`; 0
// when there is none.
double ParseLeadingDouble(std::string_view text);
// The scale from the switch value, or from the screen's (LOGPIXELSX +
// LOGPIXELSY) / 2 when the switch gives no usable number (0, infinite,
// negative or not a number).
double ComputeScaleFactor(std::string_view switch_value, int dpi_x, int dpi_y);
// Pixels per 96-dpi unit for this process, computed on first use.
double ScaleFactor();

}  // namespace lite

#endif  // LITE_INSTALLER_UI_LANGUAGE_H_
