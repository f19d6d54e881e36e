// The brand and partner configuration of this installation: filled once at
// start-up from the packages in the resources, the "lang" parameter and the
// built-in defaults, then only read.
#ifndef LITE_INSTALLER_BRAND_BRAND_INFO_H_
#define LITE_INSTALLER_BRAND_BRAND_INFO_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "lite_installer/bin_resources.h"

#include "lite_util/download_urls.h"

namespace lite {

// Tri-state configuration values.
inline constexpr int kTriStateNotSet = 0;
inline constexpr int kTriStateTrue = 1;
inline constexpr int kTriStateFalse = 2;

class BrandInfo {
 public:
  // `resources` (not owned; nullptr: the program's own) supplies the
  // packages.
  explicit BrandInfo(std::wstring temp_directory,
                     const BinResources* resources = nullptr);
  virtual ~BrandInfo();

  // Full installer mode only: reads the configuration a previous run stored.
  virtual bool RestoreFromRegistry();
  // Empties the record (keeping the temporary directory, the service URLs
  // and the loaded flags).
  virtual void Clear();

  // Reads the configuration of brand `brand_name` (the "brand-name" switch;
  // empty for the default package, "auto" to detect it).
  void GetInfo(const std::string& brand_name);
  // Chooses, writes and reads the partner and brand packages.
  void GetInfoFromResources(const std::string& brand_name);
  // Reads `file_name` out of a package and takes its configuration.
  void ExtractAndReadPackage(std::string_view package,
                             const std::string& file_name);
  // Takes the values of a configuration (JSON with comments) that no earlier
  // source supplied.
  void ReadConfig(std::string_view text);
  // Fills every field that no source set, then logs the record.
  void FillDefaults();
  void LogBrandInfo() const;

  void StoreLanguage() const;
  void StoreInRegistry() const;
  void RemoveFromRegistry() const;

  // `base_url` with "brand", "partner", "uid" and "version" appended.
  std::string AppendServiceQuery(const std::string& base_url) const;

  void set_language(const std::string& language);

  const std::string& setup_url() const { return setup_url_; }
  const std::string& setup_url_version() const { return setup_url_version_; }
  const std::string& setup_url64() const { return setup_url64_; }
  const std::string& setup_url_version64() const {
    return setup_url_version64_;
  }
  const std::string& setup_url32() const { return setup_url32_; }
  // The four URLs the package's candidate list is made of.
  SetupUrls setup_urls() const {
    return {setup_url_, setup_url_version_, setup_url64_, setup_url32_};
  }
  const std::string& brand_id() const { return brand_id_; }
  const std::string& brand_name() const { return brand_name_; }
  const std::string& language() const { return language_; }
  uint16_t language_id() const { return language_id_; }
  const std::string& license_url() const { return license_url_; }
  const std::string& privacy_policy_url() const { return privacy_policy_url_; }
  const std::wstring& temp_directory() const { return temp_directory_; }
  const std::wstring& brand_package_path() const { return brand_package_path_; }
  const std::wstring& partner_package_path() const {
    return partner_package_path_;
  }
  const std::string& partner_id() const { return partner_id_; }
  const std::string& scenarios_url() const { return scenarios_url_; }
  const std::string& slide_url() const { return slide_url_; }
  const std::string& slide_url_if_tagged() const {
    return slide_url_if_tagged_;
  }
  const std::string& variations_url() const { return variations_url_; }
  const std::string& experiments_url() const { return experiments_url_; }
  const std::string& webntp_url() const { return webntp_url_; }
  const std::string& preloaded_wallpapers_url() const {
    return preloaded_wallpapers_url_;
  }
  bool brand_package_loaded() const { return brand_package_loaded_; }
  bool partner_package_loaded() const { return partner_package_loaded_; }

  // Raw tri-states.
  int vessa_taskbar_shortcut_prompt() const {
    return vessa_taskbar_shortcut_prompt_;
  }
  int alternate_installer_title() const { return alternate_installer_title_; }
  int send_statistics() const { return send_statistics_; }
  int make_browser_default() const { return make_browser_default_; }

  // Effective values: the first two only when explicitly true, the last two
  // unless explicitly false.
  bool VessaTaskbarShortcutPromptEnabled() const {
    return vessa_taskbar_shortcut_prompt_ == kTriStateTrue;
  }
  bool AlternateInstallerTitleEnabled() const {
    return alternate_installer_title_ == kTriStateTrue;
  }
  bool SendStatisticsEnabled() const {
    return send_statistics_ < kTriStateFalse;
  }
  bool MakeBrowserDefaultEnabled() const {
    return make_browser_default_ < kTriStateFalse;
  }

 private:
  struct ConfigKey;
  static const ConfigKey kConfigKeys[];

  void UpdateLanguageId();
  // Reads the package files named in the registry (partner first).
  void LoadPackageFiles(const std::wstring& partner_path,
                        const std::wstring& brand_path);

  const BinResources* resources_;
  BinResources own_resources_;

  std::string setup_url_;
  std::string setup_url_version_;
  std::string setup_url64_;
  std::string setup_url_version64_;
  std::string setup_url32_;
  std::string brand_id_;
  std::string brand_name_;
  std::string language_;
  uint16_t language_id_ = 1033;
  std::string license_url_;
  std::string privacy_policy_url_;
  std::wstring temp_directory_;
  std::wstring brand_package_path_;
  std::wstring partner_package_path_;
  std::string partner_id_;
  std::string scenarios_url_;
  std::string slide_url_;
  std::string slide_url_if_tagged_;
  std::string variations_url_;
  std::string experiments_url_;
  std::string webntp_url_;
  std::string preloaded_wallpapers_url_;
  int vessa_taskbar_shortcut_prompt_ = kTriStateNotSet;
  bool brand_package_loaded_ = false;
  bool partner_package_loaded_ = false;
  int alternate_installer_title_ = kTriStateNotSet;
  int send_statistics_ = kTriStateNotSet;
  int make_browser_default_ = kTriStateNotSet;
};

}  // namespace lite

#endif  // LITE_INSTALLER_BRAND_BRAND_INFO_H_
