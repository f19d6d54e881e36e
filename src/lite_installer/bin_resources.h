// The program's own resources of type "BIN": packages and data files that
// are handed on to the setup.
#ifndef LITE_INSTALLER_BIN_RESOURCES_H_
#define LITE_INSTALLER_BIN_RESOURCES_H_

#include <windows.h>

#include <string>

namespace lite {

// Integer ids of "BIN" resources.
inline constexpr int kDefaultBrandPackageResource = 319;
inline constexpr int kPartnerPackageResource = 320;
inline constexpr int kInstallerDataResource = 305;
inline constexpr int kClidsResource = 306;
inline constexpr int kClidsSearchbandResource = 322;
inline constexpr int kWebsiteIconResource = 323;
inline constexpr char kAbtConfigResource[] = "ABT_CONFIG";

// Looks "BIN" resources up by id or by name and copies them; a missing or
// empty resource gives an empty string. Tests substitute their own.
class BinResources {
 public:
  // The resources of `module` (nullptr: the program's own).
  explicit BinResources(HMODULE module = nullptr) : module_(module) {}
  virtual ~BinResources() = default;

  virtual std::string Load(int id) const;
  virtual std::string Load(const std::string& name) const;

 private:
  std::string LoadResource(const wchar_t* name) const;

  HMODULE module_;
};

}  // namespace lite

#endif  // LITE_INSTALLER_BIN_RESOURCES_H_
