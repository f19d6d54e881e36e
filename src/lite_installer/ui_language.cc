#include "lite_installer/ui_language.h"

#include <windows.h>

#include <cmath>
#include <cstdlib>

#include "base/scoped_gdi.h"
#include "lite_installer/installer_command_line.h"
#include "lite_installer/installer_switches.h"

namespace lite {

namespace {

struct Language {
  uint16_t id;
  const char* code;
};

// In the order codes are compared.
constexpr Language kLanguages[] = {
    {1049, "ru"},    {1058, "uk"},    {1055, "tr"},    {1031, "de"},
    {3082, "es"},    {1036, "fr"},    {1040, "it"},    {1041, "ja"},
    {2070, "pt-PT"}, {1046, "pt-BR"}, {2052, "zh-CN"}, {1028, "zh-TW"},
    {1087, "kk"},    {1091, "uz"},    {1029, "cs"},
};

constexpr uint16_t kEnglish = 1033;

}  // namespace

std::string LanguageCodeForSystemLanguage(uint16_t system_language) {
  for (const Language& language : kLanguages) {
    if (language.id == system_language) return language.code;
  }
  return "en";
}

std::string UserInterfaceLanguageCode() {
  return LanguageCodeForSystemLanguage(::GetUserDefaultUILanguage());
}

uint16_t InterfaceLanguageId(std::string_view code) {
  for (const Language& language : kLanguages) {
    if (code == language.code) return language.id;
  }
  return kEnglish;
}

std::wstring LoadUiString(uint32_t id, uint16_t language_id) {
  HMODULE module = ::GetModuleHandleW(nullptr);
  HRSRC resource = ::FindResourceExW(
      module, RT_STRING, MAKEINTRESOURCEW(id / 16 + 1), language_id);
  if (!resource) return std::wstring();
  HGLOBAL handle = ::LoadResource(module, resource);
  const auto* data =
      handle ? static_cast<const uint16_t*>(::LockResource(handle)) : nullptr;
  if (!data) return std::wstring();
  // 16 strings, each a 16-bit length and that many UTF-16 units; never read
  // past the block.
  size_t units = ::SizeofResource(module, resource) / sizeof(uint16_t);
  size_t position = 0;
  for (uint32_t index = 0; index < 16 && position < units; ++index) {
    size_t length = data[position++];
    if (length > units - position) return std::wstring();
    if (index == id % 16) {
      return std::wstring(reinterpret_cast<const wchar_t*>(data + position),
                          length);
    }
    position += length;
  }
  return std::wstring();
}

double ParseLeadingDouble(std::string_view text) {
  std::string copy(text);
  // strtod takes the longest leading part that forms a number.
  double value = std::strtod(copy.c_str(), nullptr);
  return value;
}

double ComputeScaleFactor(std::string_view switch_value, int dpi_x, int dpi_y) {
  double value = ParseLeadingDouble(switch_value);
  if (value > 0 && std::isfinite(value)) return value;
  return ((dpi_x + dpi_y) / 2) / 96.0;
}

double ScaleFactor() {
  static const double scale = [] {
    std::string value =
        InstallerCommandLine::ForCurrentProcess().GetSwitchValueASCII(
            switches::kForceDeviceScaleFactor);
    base::ScopedGetDc screen(nullptr);
    int dpi_x =
        screen.IsValid() ? ::GetDeviceCaps(screen.Get(), LOGPIXELSX) : 96;
    int dpi_y =
        screen.IsValid() ? ::GetDeviceCaps(screen.Get(), LOGPIXELSY) : 96;
    return ComputeScaleFactor(value, dpi_x, dpi_y);
  }();
  return scale;
}

}  // namespace lite
