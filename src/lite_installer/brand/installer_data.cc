#include "lite_installer/brand/installer_data.h"

#include <iterator>

#include "base/file_util.h"
#include "base/string_util.h"
#include "lite_installer/installer_switches.h"
#include "lite_util/installer_registry.h"
#include "lite_util/logging/log_message.h"

namespace lite {
namespace {

struct DataFileInfo {
  const char* switch_name;
  const wchar_t* registry_value;
  int resource_id;  // 0: the named resource kAbtConfigResource
  const wchar_t* file_name;
};

// Indexed by InstallerDataFiles::File.
constexpr DataFileInfo kDataFiles[] = {
    {switches::kInstallerData, L"InstallerData", kInstallerDataResource,
     L"master_preferences"},
    {switches::kClidsFile, L"ClidsFile", kClidsResource, L"clids.xml"},
    {switches::kClidsSearchbandFile, L"ClidsSearchbandFile",
     kClidsSearchbandResource, L"clids_searchband.xml"},
    {switches::kZarvexWebsiteIconFile, L"ZarvexWebsiteIconFile",
     kWebsiteIconResource, L"website.ico"},
    {switches::kAbtConfigResourceFile, L"AbtConfigResourceFile", 0,
     L"abt_config_resource"},
};
static_assert(std::size(kDataFiles) == InstallerDataFiles::kFileCount);

}  // namespace

InstallerDataFiles::InstallerDataFiles(const BinResources* resources)
    : resources_(resources ? resources : &own_resources_) {}

void InstallerDataFiles::InitPaths(const InstallerCommandLine& command_line,
                                   bool full_installer_mode) {
  for (int i = 0; i < kFileCount; ++i) {
    paths_[i] = command_line.GetSwitchValue(kDataFiles[i].switch_name);
    if (full_installer_mode && paths_[i].empty()) {
      paths_[i] = ReadFilePathFromRegistry(kDataFiles[i].registry_value);
    }
  }
}

void InstallerDataFiles::ExtractInstallerDataIfAbsent(
    const std::wstring& directory) {
  for (int i = kInstallerData; i <= kWebsiteIcon; ++i) {
    if (!paths_[i].empty()) continue;
    paths_[i] = base::PathInDirectory(directory, kDataFiles[i].file_name);
    if (paths_[i].empty()) {
      LOG(WARNING) << "No folder for " << kDataFiles[i].file_name;
      continue;
    }
    std::string bytes = resources_->Load(kDataFiles[i].resource_id);
    if (bytes.empty()) {
      // The path stays: the setup is told about a file that does not exist.
      LOG(WARNING) << "Failed to extract resource "
                   << kDataFiles[i].resource_id;
      continue;
    }
    base::WriteBytesToFile(paths_[i], bytes);
  }

  std::wstring& abt_config = paths_[kAbtConfig];
  if (!abt_config.empty()) return;
  abt_config =
      base::PathInDirectory(directory, kDataFiles[kAbtConfig].file_name);
  if (abt_config.empty()) {
    LOG(WARNING) << "No folder for " << kDataFiles[kAbtConfig].file_name;
    return;
  }
  std::string bytes = resources_->Load(std::string(kAbtConfigResource));
  if (bytes.empty()) {
    LOG(WARNING) << "Failed to extract resource "
                 << kDataFiles[kAbtConfig].file_name;
    abt_config.clear();
    return;
  }
  base::WriteBytesToFile(abt_config, bytes);
}

void InstallerDataFiles::StoreInRegistry() const {
  for (int i = 0; i < kFileCount; ++i) {
    StoreInstallerValue(kDataFiles[i].registry_value, paths_[i]);
  }
}

void InstallerDataFiles::RemoveFromRegistry() {
  for (int i = kInstallerData; i <= kWebsiteIcon; ++i) {
    RemoveInstallerValue(kDataFiles[i].registry_value);
  }
  RemoveInstallerValue(L"DistribInfoParams");
}

}  // namespace lite
