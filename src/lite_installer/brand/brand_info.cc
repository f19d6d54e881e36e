#include "lite_installer/brand/brand_info.h"

#include <jansson.h>

#include <utility>

#include "base/file_util.h"
#include "base/string_util.h"
#include "lite_installer/brand/brand_autodetect.h"
#include "lite_installer/install_details.h"
#include "lite_installer/ui_language.h"
#include "lite_installer/version_constants.h"
#include "lite_util/cabinet_reader.h"
#include "lite_util/installer_registry.h"
#include "lite_util/json_with_comments.h"
#include "lite_util/logging/log_message.h"
#include "lite_util/service_hosts.h"
#include "lite_util/user_id.h"

namespace lite {
namespace {

constexpr char kBrandConfigFile[] = "brand_config";
constexpr char kPartnerConfigFile[] = "partner_config";
constexpr wchar_t kBrandValue[] = L"brand";
constexpr wchar_t kLanguageValue[] = L"lang";
constexpr wchar_t kBrandFileValue[] = L"BrandFile";
constexpr wchar_t kPartnerFileValue[] = L"PartnerFile";

// The value at a dotted path ("languages.interface") of `root`, or nullptr.
json_t* LookUpPath(json_t* root, std::string_view path) {
  json_t* node = root;
  while (node) {
    size_t dot = path.find('.');
    std::string segment(path.substr(0, dot));
    node =
        json_is_object(node) ? json_object_get(node, segment.c_str()) : nullptr;
    if (dot == std::string_view::npos) return node;
    path.remove_prefix(dot + 1);
  }
  return nullptr;
}

// A key is looked up as given and then, for "install.*", at the top level.
template <typename Accept>
bool LookUpConfigKey(json_t* root, std::string_view key, Accept accept) {
  if (accept(LookUpPath(root, key))) return true;
  constexpr std::string_view kInstallPrefix = "install.";
  if (key.substr(0, kInstallPrefix.size()) != kInstallPrefix) return false;
  return accept(LookUpPath(root, key.substr(kInstallPrefix.size())));
}

std::string SizeText(size_t size) {
  return " [" + base::NumberToString(static_cast<uint64_t>(size)) + "B]";
}

}  // namespace

// One configuration key and the field it fills: text or tri-state.
struct BrandInfo::ConfigKey {
  const char* key;
  std::string BrandInfo::*text;
  int BrandInfo::*tri_state;
};

// In the order ReadConfig takes them.
const BrandInfo::ConfigKey BrandInfo::kConfigKeys[] = {
    {"languages.interface", &BrandInfo::language_, nullptr},
    {"brand_id", &BrandInfo::brand_id_, nullptr},
    {"brand_name", &BrandInfo::brand_name_, nullptr},
    {"install.setup_url", &BrandInfo::setup_url_, nullptr},
    {"install.setup_url_version", &BrandInfo::setup_url_version_, nullptr},
    {"install.setup_url64", &BrandInfo::setup_url64_, nullptr},
    {"install.setup_url_version64", &BrandInfo::setup_url_version64_, nullptr},
    {"install.setup_url32", &BrandInfo::setup_url32_, nullptr},
    {"license_url", &BrandInfo::license_url_, nullptr},
    {"install.conf_policy_url", &BrandInfo::privacy_policy_url_, nullptr},
    {"install.alternate_installer_title", nullptr,
     &BrandInfo::alternate_installer_title_},
    {"install.send_statistics", nullptr, &BrandInfo::send_statistics_},
    {"install.make_browser_default", nullptr,
     &BrandInfo::make_browser_default_},
    {"partner_id", &BrandInfo::partner_id_, nullptr},
    {"install.scenarios_url", &BrandInfo::scenarios_url_, nullptr},
    {"install.slide_url", &BrandInfo::slide_url_, nullptr},
    {"install.slide_url_if_tagged", &BrandInfo::slide_url_if_tagged_, nullptr},
    {"urls.variations", &BrandInfo::variations_url_, nullptr},
    {"urls.abt", &BrandInfo::experiments_url_, nullptr},
    {"urls.webntp", &BrandInfo::webntp_url_, nullptr},
    {"install.preloaded_wallpapers_url", &BrandInfo::preloaded_wallpapers_url_,
     nullptr},
    {"install.vessa_taskbar_shortcut_promt", nullptr,
     &BrandInfo::vessa_taskbar_shortcut_prompt_},
};

BrandInfo::BrandInfo(std::wstring temp_directory, const BinResources* resources)
    : resources_(resources ? resources : &own_resources_),
      temp_directory_(std::move(temp_directory)) {}

BrandInfo::~BrandInfo() = default;

void BrandInfo::GetInfo(const std::string& brand_name) {
  Clear();
  if (IsFullInstallerMode() &&
      resources_->Load(kPartnerPackageResource).empty() &&
      RestoreFromRegistry()) {
    return;
  }
  RemoveFromRegistry();
  Clear();
  // Without a temporary directory the packages are read but not written.
  brand_package_path_ = base::PathInDirectory(temp_directory_, L"BrandFile");
  partner_package_path_ =
      base::PathInDirectory(temp_directory_, L"PartnerFile");
  LOG(INFO) << "Brand package path: " << brand_package_path_;
  LOG(INFO) << "Partner package path: " << partner_package_path_;
  GetInfoFromResources(brand_name);
}

void BrandInfo::GetInfoFromResources(const std::string& brand_name) {
  std::string partner = resources_->Load(kPartnerPackageResource);
  if (!partner.empty()) {
    LOG(INFO) << "Extract Partner package: " << partner_package_path_
              << SizeText(partner.size());
    if (!partner_package_path_.empty()) {
      base::WriteBytesToFile(partner_package_path_, partner);
    }
    partner_package_loaded_ = true;
    ExtractAndReadPackage(partner, kPartnerConfigFile);
  } else {
    LOG(WARNING) << "Partner package is empty.";
  }

  std::string brand;
  if (brand_name == "auto") {
    std::string name = base::ToUpperASCII(AutodetectBrandName());
    LOG(INFO) << "Fetching autodetected " << name << " package";
    brand = resources_->Load("BRAND_" + name);
  } else if (!brand_name.empty()) {
    LOG(INFO) << "Fetching defined" << brand_name << " package";
    brand = resources_->Load("BRAND_" + base::ToUpperASCII(brand_name));
  }
  if (brand.empty()) {
    LOG(INFO) << "Fetching default package";
    brand = resources_->Load(kDefaultBrandPackageResource);
  }
  if (!brand.empty()) {
    LOG(INFO) << "Extract Brand package: " << brand_package_path_
              << SizeText(brand.size());
    if (!brand_package_path_.empty()) {
      base::WriteBytesToFile(brand_package_path_, brand);
    }
    brand_package_loaded_ = true;
    ExtractAndReadPackage(brand, kBrandConfigFile);
  } else {
    LOG(WARNING) << "Brand package is empty.";
  }
}

void BrandInfo::ExtractAndReadPackage(std::string_view package,
                                      const std::string& file_name) {
  CabinetFiles files;
  ExtractFilesFromCabinet(package, file_name, &files);
  auto it = files.find(file_name);
  if (it == files.end()) return;
  ReadConfig(it->second);
  LogBrandInfo();
}

void BrandInfo::ReadConfig(std::string_view text) {
  ScopedJson root = LoadJsonWithComments(text);
  for (const ConfigKey& entry : kConfigKeys) {
    if (entry.text) {
      std::string& field = this->*entry.text;
      if (field.empty() && root) {
        LookUpConfigKey(root.get(), entry.key, [&field](json_t* value) {
          if (!json_is_string(value)) return false;
          field.assign(json_string_value(value), json_string_length(value));
          return true;
        });
      }
      if (entry.text == &BrandInfo::language_) UpdateLanguageId();
    } else {
      int& field = this->*entry.tri_state;
      if (field != kTriStateNotSet || !root) continue;
      LookUpConfigKey(root.get(), entry.key, [&field](json_t* value) {
        if (!json_is_boolean(value)) return false;
        field = json_is_true(value) ? kTriStateTrue : kTriStateFalse;
        return true;
      });
    }
  }
}

void BrandInfo::FillDefaults() {
  if (brand_id_.empty()) brand_id_ = kDefaultBrandName;
  if (brand_name_.empty()) brand_name_ = brand_id_;
  // The partner id has no default.
  if (scenarios_url_.empty()) {
    scenarios_url_ =
        std::string(kDownloadHost) + "/browser/installer/vessa/scenarios/";
  }
  if (setup_url_.empty()) {
    setup_url_ = std::string(kDownloadHost) + "/browser/" + brand_id_ +
                 "/browser-setup.arc";
  }
  if (license_url_.empty()) {
    license_url_ = std::string(kLegalDocumentsHost) + "/browser_agreement/";
  }
  if (privacy_policy_url_.empty()) {
    privacy_policy_url_ = std::string(kLegalDocumentsHost) + "/confidential/";
  }
  if (language_.empty()) language_ = UserInterfaceLanguageCode();
  UpdateLanguageId();
  if (variations_url_.empty()) {
    variations_url_ =
        std::string(kContentApiHost) + "/content/get/experiments/browser.proto";
  }
  if (experiments_url_.empty()) {
    experiments_url_ = std::string(kExperimentsApiHost) + "/ab/get";
  }
  if (webntp_url_.empty()) webntp_url_ = kWebNewTabPageHost;
  LogBrandInfo();
}

void BrandInfo::LogBrandInfo() const {
  auto flag = [](bool on) { return on ? "1" : "0"; };
  LOG(INFO) << "Brand id: " << brand_id_;
  LOG(INFO) << "Brand name: " << brand_name_;
  LOG(INFO) << "Setup url: " << setup_url_;
  LOG(INFO) << "Versioned setup url: " << setup_url_version_;
  LOG(INFO) << "Setup url64: " << setup_url64_;
  LOG(INFO) << "Versioned setup url64: " << setup_url_version64_;
  LOG(INFO) << "Setup url32: " << setup_url32_;
  LOG(INFO) << "Default language: " << language_;
  LOG(INFO) << "Vessa install scenarios url: " << scenarios_url_;
  LOG(INFO) << "Install slide url by default: " << slide_url_;
  LOG(INFO) << "Install slide url if tagged installer: "
            << slide_url_if_tagged_;
  LOG(INFO) << "Show international title: "
            << flag(alternate_installer_title_ == kTriStateTrue);
  LOG(INFO) << "Send browser's statistics: "
            << flag(send_statistics_ < kTriStateFalse);
  LOG(INFO) << "Make browser default after import: "
            << flag(make_browser_default_ < kTriStateFalse);
  LOG(INFO) << "Preloaded wallpapers url: " << preloaded_wallpapers_url_;
  LOG(INFO) << "Vessa taskbar shortcut promt: "
            << flag(vessa_taskbar_shortcut_prompt_ == kTriStateTrue);
}

void BrandInfo::Clear() {
  LOG(INFO) << "Reset brand info.";
  for (const ConfigKey& entry : kConfigKeys) {
    // The service URLs survive a reset.
    if (entry.text == &BrandInfo::variations_url_ ||
        entry.text == &BrandInfo::experiments_url_ ||
        entry.text == &BrandInfo::webntp_url_) {
      continue;
    }
    if (entry.text) {
      (this->*entry.text).clear();
    } else {
      this->*entry.tri_state = kTriStateNotSet;
    }
  }
  language_id_ = 1033;
  brand_package_path_.clear();
  partner_package_path_.clear();
}

void BrandInfo::set_language(const std::string& language) {
  language_ = language;
  UpdateLanguageId();
}

void BrandInfo::UpdateLanguageId() {
  language_id_ = InterfaceLanguageId(language_);
}

void BrandInfo::StoreLanguage() const {
  StoreInstallerValue(kLanguageValue, base::WidenSignedBytes(language_));
}

void BrandInfo::StoreInRegistry() const {
  StoreInstallerValue(kBrandValue, base::WidenSignedBytes(brand_name_));
  StoreInstallerValue(kBrandFileValue, brand_package_path_);
  if (partner_package_loaded_) {
    StoreInstallerValue(kPartnerFileValue, partner_package_path_);
  }
}

void BrandInfo::RemoveFromRegistry() const {
  RemoveInstallerValue(kBrandValue);
  RemoveInstallerValue(kBrandFileValue);
  RemoveInstallerValue(kPartnerFileValue);
}

bool BrandInfo::RestoreFromRegistry() {
  std::wstring brand_path = ReadFilePathFromRegistry(kBrandFileValue);
  std::wstring partner_path = ReadFilePathFromRegistry(kPartnerFileValue);
  if (!brand_path.empty() || !partner_path.empty()) {
    LoadPackageFiles(partner_path, brand_path);
    if (!brand_id_.empty()) return true;
  }
  // A value holding characters that stand for no byte reads as absent.
  base::NarrowWidenedBytes(ReadInstallerValue(kBrandValue), &brand_name_);
  base::NarrowWidenedBytes(ReadInstallerValue(kLanguageValue), &language_);
  UpdateLanguageId();
  return !brand_name_.empty() && !language_.empty();
}

void BrandInfo::LoadPackageFiles(const std::wstring& partner_path,
                                 const std::wstring& brand_path) {
  std::string bytes;
  if (!partner_path.empty() && base::ReadFileToString(partner_path, &bytes) &&
      !bytes.empty()) {
    partner_package_path_ = partner_path;
    partner_package_loaded_ = true;
    ExtractAndReadPackage(bytes, kPartnerConfigFile);
  }
  if (!brand_path.empty() && base::ReadFileToString(brand_path, &bytes) &&
      !bytes.empty()) {
    brand_package_path_ = brand_path;
    brand_package_loaded_ = true;
    ExtractAndReadPackage(bytes, kBrandConfigFile);
  }
}

std::string BrandInfo::AppendServiceQuery(const std::string& base_url) const {
  std::string url = base_url;
  const std::pair<const char*, std::string> parameters[] = {
      {"brand", brand_id_},
      {"partner", partner_id_},
      {"uid", GetUserId()},
      {"version", LITE_PRODUCT_VERSION},
  };
  for (const auto& [name, value] : parameters) {
    if (value.empty()) continue;
    url += url.find('?') == std::string::npos ? "?" : "&";
    url += name;
    url += "=";
    url += value;
  }
  return url;
}

}  // namespace lite
