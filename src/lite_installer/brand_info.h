// The brand and partner configuration of this installation.
//
// For now it holds the built-in defaults; the packages in the resources and
// the registry come later.
#ifndef LITE_INSTALLER_BRAND_INFO_H_
#define LITE_INSTALLER_BRAND_INFO_H_

#include <string>

namespace lite {

class BrandInfo {
 public:
  explicit BrandInfo(std::wstring temp_path);

  // Reads the configuration of brand `brand_name` (empty: the default).
  bool GetInfo(const std::string& brand_name);
  // Fills every field that no source set.
  void FillDefaults();

  const std::string& brand_id() const { return brand_id_; }
  const std::string& brand_name() const { return brand_name_; }
  const std::string& language() const { return language_; }
  void set_language(const std::string& language) { language_ = language; }
  // Tri-state: 0 not set, 1 true, 2 false.
  int send_statistics() const { return send_statistics_; }
  bool SendStatisticsEnabled() const { return send_statistics_ == 1; }
  const std::wstring& temp_path() const { return temp_path_; }

 private:
  std::wstring temp_path_;
  std::string brand_id_;
  std::string brand_name_;
  std::string language_;
  int send_statistics_ = 0;
};

}  // namespace lite

#endif  // LITE_INSTALLER_BRAND_INFO_H_
