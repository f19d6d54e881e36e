#include "lite_installer/ui_language.h"

#include <cmath>
#include <limits>

#include "gtest/gtest.h"

namespace lite {
namespace {

TEST(UiLanguageTest, SystemLanguageToCodeToId) {
  const struct {
    uint16_t system;
    const char* code;
    uint16_t id;
  } kCases[] = {
      {1033, "en", 1033},    {2057, "en", 1033},    {2073, "en", 1033},
      {1049, "ru", 1049},    {1058, "uk", 1058},    {1046, "pt-BR", 1046},
      {2070, "pt-PT", 2070}, {2052, "zh-CN", 2052}, {1028, "zh-TW", 1028},
      {3082, "es", 3082},    {1087, "kk", 1087},    {1091, "uz", 1091},
      {1029, "cs", 1029},    {1055, "tr", 1055},    {1041, "ja", 1041},
      {0, "en", 1033},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(LanguageCodeForSystemLanguage(c.system), c.code) << c.system;
    EXPECT_EQ(InterfaceLanguageId(c.code), c.id) << c.code;
  }
  for (const char* code : {"pt", "EN", "RU", "ru-RU", "", "en"}) {
    EXPECT_EQ(InterfaceLanguageId(code), 1033) << code;
  }
}

TEST(UiLanguageTest, StringLookupHasNoFallBack) {
  EXPECT_EQ(LoadUiString(442, 1033), L"Zarvex\u00A0Browser Installation");
  EXPECT_EQ(LoadUiString(442, 1049),
            L"\u0423\u0441\u0442\u0430\u043D\u043E"
            L"\u0432\u043A\u0430");
  EXPECT_EQ(LoadUiString(442, 1046), L"Instala\u00E7\u00E3o");
  EXPECT_EQ(LoadUiString(443, 1049), L"") << "no fall-back to English";
  EXPECT_EQ(LoadUiString(442, 2070), L"") << "language not in the table";
  EXPECT_EQ(LoadUiString(439, 1033), L"");
  EXPECT_EQ(LoadUiString(439, 1049), L"");
  EXPECT_EQ(LoadUiString(9999, 1033), L"");
}

TEST(UiLanguageTest, ScaleFactorTable) {
  const struct {
    const char* value;
    int dpi_x, dpi_y;
    double scale;
  } kCases[] = {
      {"1.5", 96, 96, 1.5},  {"2x", 96, 96, 2.0},     {"abc", 96, 96, 1.0},
      {"0", 120, 120, 1.25}, {"", 144, 144, 1.5},     {"inf", 96, 96, 1.0},
      {"-2", 96, 96, 1.0},   {"nan", 120, 121, 1.25}, {"1e400", 96, 96, 1.0},
  };
  for (const auto& c : kCases) {
    EXPECT_DOUBLE_EQ(ComputeScaleFactor(c.value, c.dpi_x, c.dpi_y), c.scale)
        << c.value;
  }
}

}  // namespace
}  // namespace lite
