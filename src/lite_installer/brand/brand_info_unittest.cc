#include "lite_installer/brand/brand_info.h"

#include <windows.h>

#include <map>
#include <string>
#include <variant>
#include <vector>

#include "base/file_util.h"
#include "base/string_util.h"
#include "gtest/gtest.h"
#include "lite_installer/brand/brand_autodetect.h"
#include "lite_installer/ui_language.h"
#include "lite_util/installer_registry.h"
#include "lite_util/user_id.h"
#include "test/support/recording_logger.h"
#include "test/support/temp_directory_test.h"

namespace lite {
namespace {

// Cabinets linked into this test (test/resources/brand_packages.rc), built
// from test/brand/ and res/brand/.
constexpr char kPartner[] = "TEST_PARTNER";  // partner_config
constexpr char kInt[] = "TEST_INT";          // brand_config of brand "int"
constexpr char kMulti[] = "TEST_MULTI";      // three files
constexpr char kDefault[] = "TEST_DEFAULT";  // the real default package

// Serves the program's resource ids and names from the test's cabinets; a
// key that maps to bytes starting with '!' serves those bytes (without the
// '!') instead.
class FakeResources : public BinResources {
 public:
  using Key = std::variant<int, std::string>;
  explicit FakeResources(std::map<Key, std::string> map)
      : map_(std::move(map)) {}

  std::string Load(int id) const override { return Serve(Key(id)); }
  std::string Load(const std::string& name) const override {
    requested_.push_back(name);
    return Serve(Key(name));
  }
  const std::vector<std::string>& requested() const { return requested_; }

 private:
  std::string Serve(const Key& key) const {
    auto it = map_.find(key);
    if (it == map_.end()) return std::string();
    if (!it->second.empty() && it->second[0] == '!') {
      return it->second.substr(1);
    }
    return BinResources().Load(it->second);
  }
  std::map<Key, std::string> map_;
  mutable std::vector<std::string> requested_;
};

std::string ReadFile(const std::wstring& path) {
  std::string bytes;
  base::ReadFileToString(path, &bytes);
  return bytes;
}

using BrandInfoTest = TempDirectoryTest;

TEST_F(BrandInfoTest, SourcesAndPrecedence) {
  const std::string ui_language = UserInterfaceLanguageCode();
  const std::string download = "https://localhost:18441";
  const std::string truncated_int =
      "!" + BinResources().Load(std::string(kInt)).substr(0, 90);
  const struct {
    const char* name;
    std::map<FakeResources::Key, std::string> resources;
    std::string brand_name_switch;
    const char* fetch_line;  // expected among the log lines
    std::string brand_id, brand_name, setup_url, language, partner_id;
    int send_statistics, make_browser_default, alternate_title;
    std::string license_url, slide_url, variations_url;
  } kCases[] = {
      {"no packages at all",
       {},
       "",
       "Brand package is empty.",
       "zarvex",
       "zarvex",
       download + "/browser/zarvex/browser-setup.arc",
       ui_language,
       "",
       0,
       0,
       0,
       "https://localhost:18442/browser_agreement/",
       "",
       "https://localhost:18443/content/get/experiments/browser.proto"},
      {"the default package",
       {{319, kDefault}},
       "",
       "Fetching default package",
       "zarvex",
       "zarvex",
       download + "/browser/zarvex/browser-setup.arc",
       ui_language,
       "",
       1,
       1,
       2,
       "https://localhost:18442/browser_agreement/",
       "",
       "https://localhost:18443/content/get/experiments/browser.proto"},
      {"a named brand: its id is also the name, the URL is built from it",
       {{319, kDefault}, {"BRAND_INT", kInt}},
       "int",
       "Fetching definedint package",
       "int",
       "int",
       download + "/browser/int/browser-setup.arc",
       ui_language,
       "",
       1,
       2,
       1,
       "https://legal.example/int/",
       "https://int.example/slide.png",
       "https://variations.example/seed"},
      {"partner before brand; a non-string install.setup_url falls back to "
       "the top level",
       {{320, kPartner}, {319, kDefault}, {"BRAND_INT", kInt}},
       "INT",
       "Fetching definedINT package",
       "int",
       "int",
       "https://partner.example/setup.arc",
       "tr",
       "p-42",
       2,
       2,
       1,
       "https://legal.example/int/",
       "https://partner.example/slide.png",
       "https://variations.example/seed"},
      {"\"Auto\" is a brand name, not detection",
       {{319, kDefault}, {"BRAND_INT", kInt}},
       "Auto",
       "Fetching definedAuto package",
       "zarvex",
       "zarvex",
       download + "/browser/zarvex/browser-setup.arc",
       ui_language,
       "",
       1,
       1,
       2,
       "https://localhost:18442/browser_agreement/",
       "",
       "https://localhost:18443/content/get/experiments/browser.proto"},
      {"only the wanted file of a package is read",
       {{319, kMulti}},
       "",
       "Fetching default package",
       "multi",
       "Multi",
       download + "/browser/multi/browser-setup.arc",
       ui_language,
       "",
       0,
       0,
       0,
       "https://localhost:18442/browser_agreement/",
       "",
       "https://localhost:18443/content/get/experiments/browser.proto"},
      {"a damaged package gives no configuration",
       {{319, truncated_int}},
       "",
       "Extract Brand package: ",
       "zarvex",
       "zarvex",
       download + "/browser/zarvex/browser-setup.arc",
       ui_language,
       "",
       0,
       0,
       0,
       "https://localhost:18442/browser_agreement/",
       "",
       "https://localhost:18443/content/get/experiments/browser.proto"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    logger_ = RecordingLogger::Install();
    FakeResources resources(c.resources);
    BrandInfo info(directory_, &resources);
    info.GetInfo(c.brand_name_switch);
    info.FillDefaults();
    EXPECT_TRUE(logger_->Has(c.fetch_line));
    EXPECT_EQ(info.brand_id(), c.brand_id);
    EXPECT_EQ(info.brand_name(), c.brand_name);
    EXPECT_EQ(info.setup_url(), c.setup_url);
    EXPECT_EQ(info.language(), c.language);
    EXPECT_EQ(info.language_id(), InterfaceLanguageId(c.language));
    EXPECT_EQ(info.partner_id(), c.partner_id);
    EXPECT_EQ(info.send_statistics(), c.send_statistics);
    EXPECT_EQ(info.make_browser_default(), c.make_browser_default);
    EXPECT_EQ(info.alternate_installer_title(), c.alternate_title);
    EXPECT_EQ(info.license_url(), c.license_url);
    EXPECT_EQ(info.slide_url(), c.slide_url);
    EXPECT_EQ(info.variations_url(), c.variations_url);

    // Every package found is written byte for byte, damaged or not.
    std::string partner = resources.Load(320);
    EXPECT_EQ(info.partner_package_loaded(), !partner.empty());
    EXPECT_EQ(ReadFile(info.partner_package_path()), partner);
    std::string brand =
        c.brand_name_switch == "int" || c.brand_name_switch == "INT"
            ? resources.Load(std::string("BRAND_INT"))
            : resources.Load(319);
    EXPECT_EQ(info.brand_package_loaded(), !brand.empty());
    EXPECT_EQ(ReadFile(info.brand_package_path()), brand);
    ::DeleteFileW(info.partner_package_path().c_str());
    ::DeleteFileW(info.brand_package_path().c_str());
  }
}

TEST_F(BrandInfoTest, ConfigLookupRules) {
  const struct {
    const char* name;
    std::vector<std::string> configs;  // read in this order
    std::string setup_url, language, brand_name;
    int send_statistics;
  } kCases[] = {
      {"top-level setup_url when install has none",
       {R"({"setup_url": "a", "install": {}})"},
       "a",
       "",
       "",
       0},
      {"install.setup_url wins over the top level",
       {R"({"setup_url": "a", "install": {"setup_url": "b"}})"},
       "b",
       "",
       "",
       0},
      {"install that is not an object",
       {R"({"install": 5, "setup_url": "c"})"},
       "c",
       "",
       "",
       0},
      {"a non-string value is not found",
       {R"({"brand_name": 7})"},
       "",
       "",
       "",
       0},
      {"an empty language leaves it to the next source",
       {R"({"languages": {"interface": ""}})",
        R"({"languages": {"interface": "kk"}})"},
       "",
       "kk",
       "",
       0},
      {"the first source wins",
       {R"({"brand_name": "x"})", R"({"brand_name": "y"})"},
       "",
       "",
       "x",
       0},
      {"tri-states take only booleans",
       {R"({"install": {"send_statistics": 1}})",
        R"({"send_statistics": false})"},
       "",
       "",
       "",
       2},
      {"invalid JSON reads nothing",
       {"{\"brand_name\": \"z\"", "not json"},
       "",
       "",
       "",
       0},
      {"a comment line before the object",
       {"//QUJD\r\n{\"brand_name\": \"c\"}"},
       "",
       "",
       "c",
       0},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    BrandInfo info(directory_);
    for (const std::string& config : c.configs) info.ReadConfig(config);
    EXPECT_EQ(info.setup_url(), c.setup_url);
    EXPECT_EQ(info.language(), c.language);
    EXPECT_EQ(info.brand_name(), c.brand_name);
    EXPECT_EQ(info.send_statistics(), c.send_statistics);
  }
}

TEST_F(BrandInfoTest, LanguageOverrideAndLogOrder) {
  FakeResources resources({{319, kDefault}});
  BrandInfo info(directory_, &resources);
  info.GetInfo("");
  info.set_language("ru");
  logger_ = RecordingLogger::Install();
  info.FillDefaults();
  EXPECT_EQ(info.language(), "ru");
  EXPECT_EQ(info.language_id(), 1049);
  std::vector<std::string> labels;
  for (const LogRecord& record : logger_->Records()) {
    EXPECT_EQ(record.function, std::string("LogBrandInfo"));
    labels.push_back(record.text.substr(0, record.text.find(": ") + 2));
  }
  EXPECT_EQ(
      labels,
      (std::vector<std::string>{
          "Brand id: ", "Brand name: ", "Setup url: ", "Versioned setup url: ",
          "Setup url64: ", "Versioned setup url64: ", "Setup url32: ",
          "Default language: ", "Vessa install scenarios url: ",
          "Install slide url by default: ",
          "Install slide url if tagged installer: ",
          "Show international title: ", "Send browser's statistics: ",
          "Make browser default after import: ", "Preloaded wallpapers url: ",
          "Vessa taskbar shortcut promt: "}));
}

TEST_F(BrandInfoTest, RegistryRoundTrip) {
  FakeResources resources({{320, kPartner}, {319, kInt}});
  BrandInfo stored(directory_, &resources);
  stored.GetInfo("");
  stored.FillDefaults();
  stored.StoreLanguage();
  stored.StoreInRegistry();
  EXPECT_EQ(ReadInstallerValue(L"brand"), L"int");
  EXPECT_EQ(ReadInstallerValue(L"lang"), L"tr");
  EXPECT_EQ(ReadInstallerValue(L"PartnerFile"), stored.partner_package_path());

  // A later run restores from the package files the registry names.
  BrandInfo restored(directory_);
  EXPECT_TRUE(restored.RestoreFromRegistry());
  EXPECT_EQ(restored.brand_id(), "int");
  EXPECT_EQ(restored.partner_id(), "p-42");
  EXPECT_TRUE(restored.partner_package_loaded());

  // Without the files: the stored brand name and language must both exist.
  ::DeleteFileW(stored.brand_package_path().c_str());
  ::DeleteFileW(stored.partner_package_path().c_str());
  BrandInfo from_values(directory_);
  EXPECT_TRUE(from_values.RestoreFromRegistry());
  EXPECT_EQ(from_values.brand_name(), "int");
  EXPECT_EQ(from_values.language_id(), InterfaceLanguageId("tr"));

  stored.RemoveFromRegistry();
  RemoveInstallerValue(L"lang");
  BrandInfo nothing(directory_);
  EXPECT_FALSE(nothing.RestoreFromRegistry());
  EXPECT_EQ(ReadInstallerValue(L"BrandFile"), L"");
}

TEST_F(BrandInfoTest, AppendServiceQuery) {
  BrandInfo info(directory_);
  info.ReadConfig(R"({"brand_id": "b", "partner_id": "p"})");
  std::string uid = GetUserId();
  ASSERT_FALSE(uid.empty());
  const std::string version = "26.12.0.17";
  EXPECT_EQ(info.AppendServiceQuery("https://h/x"),
            "https://h/x?brand=b&partner=p&uid=" + uid + "&version=" + version);
  EXPECT_EQ(
      info.AppendServiceQuery("https://h/x?a=1"),
      "https://h/x?a=1&brand=b&partner=p&uid=" + uid + "&version=" + version);
  BrandInfo no_partner(directory_);
  no_partner.ReadConfig(R"({"brand_id": "b"})");
  EXPECT_EQ(no_partner.AppendServiceQuery("u"),
            "u?brand=b&uid=" + uid + "&version=" + version);
}

TEST(BrandAutodetectTest, Table) {
  const struct {
    const char* region;
    const char* language;
    const char* brand;  // nullptr: no row matches
  } kCases[] = {
      {"RU", "uk", "ua_uk"},  {"RU", "en", "zarvex"}, {"UA", "ru", "ua_ru"},
      {"UA", "en", "ua_uk"},  {"TR", "ru", "tb"},     {"", "ru", "zarvex"},
      {"DE", "uk", "ua_uk"},  {"", "tr", "tb"},       {"DE", "en", nullptr},
      {"ua", "ru", "zarvex"}, {"", "", nullptr},
  };
  for (const auto& c : kCases) {
    const char* brand = DetectBrandName(c.region, c.language);
    EXPECT_STREQ(brand, c.brand) << c.region << "/" << c.language;
  }
}

}  // namespace
}  // namespace lite
