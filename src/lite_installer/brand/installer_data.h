// The data files the installer hands to the setup besides the packages:
// initial preferences, the two identifier lists, the website icon and the
// experiment configuration. Each path comes from its switch or, when absent,
// from the file the installer writes out of its resources.
#ifndef LITE_INSTALLER_BRAND_INSTALLER_DATA_H_
#define LITE_INSTALLER_BRAND_INSTALLER_DATA_H_

#include <string>

#include "lite_installer/bin_resources.h"
#include "lite_installer/installer_command_line.h"

namespace lite {

class InstallerDataFiles {
 public:
  enum File {
    kInstallerData,
    kClids,
    kClidsSearchband,
    kWebsiteIcon,
    kAbtConfig,
    kFileCount
  };

  // `resources` (not owned; nullptr: the program's own) supplies the
  // content.
  explicit InstallerDataFiles(const BinResources* resources = nullptr);

  // Takes each path from its switch; in full installer mode an empty path
  // is then read from the registry (a recorded file that no longer exists
  // reads as empty).
  void InitPaths(const InstallerCommandLine& command_line,
                 bool full_installer_mode);

  // Writes, into `directory`, each file whose path was not given. A
  // directory that is not fully qualified (none could be found) leaves
  // those paths empty.
  void ExtractInstallerDataIfAbsent(const std::wstring& directory);

  // Records the five paths under the installer's registry key.
  void StoreInRegistry() const;
  // Removes what a successful installation no longer needs (the experiment
  // configuration's path stays).
  static void RemoveFromRegistry();

  const std::wstring& path(File file) const { return paths_[file]; }

 private:
  const BinResources* resources_;
  BinResources own_resources_;
  std::wstring paths_[kFileCount];
};

}  // namespace lite

#endif  // LITE_INSTALLER_BRAND_INSTALLER_DATA_H_
