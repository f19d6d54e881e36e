#include "lite_installer/brand/installer_data.h"

#include <windows.h>

#include <map>
#include <string>

#include "base/file_util.h"
#include "gtest/gtest.h"
#include "lite_util/installer_registry.h"
#include "test/support/recording_logger.h"
#include "test/support/temp_directory_test.h"

namespace lite {
namespace {

class FakeResources : public BinResources {
 public:
  explicit FakeResources(std::map<int, std::string> by_id,
                         std::string abt_config)
      : by_id_(std::move(by_id)), abt_config_(std::move(abt_config)) {}
  std::string Load(int id) const override {
    auto it = by_id_.find(id);
    return it == by_id_.end() ? std::string() : it->second;
  }
  std::string Load(const std::string& name) const override {
    return name == kAbtConfigResource ? abt_config_ : std::string();
  }

 private:
  std::map<int, std::string> by_id_;
  std::string abt_config_;
};

std::string ReadFile(const std::wstring& path) {
  std::string bytes;
  base::ReadFileToString(path, &bytes);
  return bytes;
}

using InstallerDataTest = TempDirectoryTest;

TEST_F(InstallerDataTest, WritesWhatWasNotGiven) {
  using F = InstallerDataFiles;
  FakeResources resources({{305, "prefs"}, {306, "clids"}, {322, "band"}},
                          "abt");
  InstallerDataFiles files(&resources);
  files.InitPaths(
      InstallerCommandLine::FromString(L"i.exe --clids-file=C:\\given\\c.xml"),
      false);
  files.ExtractInstallerDataIfAbsent(directory_);

  EXPECT_EQ(files.path(F::kClids), L"C:\\given\\c.xml");
  EXPECT_FALSE(base::FileExists(directory_ + L"clids.xml"));
  EXPECT_EQ(files.path(F::kInstallerData), directory_ + L"master_preferences");
  EXPECT_EQ(ReadFile(files.path(F::kInstallerData)), "prefs");
  EXPECT_EQ(ReadFile(directory_ + L"clids_searchband.xml"), "band");
  EXPECT_EQ(ReadFile(files.path(F::kAbtConfig)), "abt");
  // The icon's resource is absent: its path stays, its file is never made.
  EXPECT_EQ(files.path(F::kWebsiteIcon), directory_ + L"website.ico");
  EXPECT_FALSE(base::FileExists(files.path(F::kWebsiteIcon)));
  EXPECT_TRUE(logger_->Has("Failed to extract resource 323"));
}

TEST_F(InstallerDataTest, MissingExperimentConfigurationClearsItsPath) {
  FakeResources resources({}, "");
  InstallerDataFiles files(&resources);
  files.InitPaths(InstallerCommandLine::FromString(L"i.exe"), false);
  files.ExtractInstallerDataIfAbsent(directory_);
  EXPECT_EQ(files.path(InstallerDataFiles::kAbtConfig), L"");
  EXPECT_TRUE(logger_->Has("Failed to extract resource abt_config_resource"));
  EXPECT_TRUE(logger_->Has("Failed to extract resource 305"));
}

TEST_F(InstallerDataTest, RegistryRecordingAndRemoval) {
  FakeResources resources({{305, "p"}}, "a");
  InstallerDataFiles files(&resources);
  files.InitPaths(InstallerCommandLine::FromString(L"i.exe"), false);
  files.ExtractInstallerDataIfAbsent(directory_);
  StoreInstallerValue(L"DistribInfoParams", L"a=1");
  files.StoreInRegistry();
  EXPECT_EQ(ReadInstallerValue(L"InstallerData"),
            directory_ + L"master_preferences");
  EXPECT_EQ(ReadInstallerValue(L"AbtConfigResourceFile"),
            directory_ + L"abt_config_resource");

  // Full installer mode reads an absent switch from the registry; a file
  // that is gone reads as empty.
  InstallerDataFiles again(&resources);
  again.InitPaths(InstallerCommandLine::FromString(L"i.exe"), true);
  EXPECT_EQ(again.path(InstallerDataFiles::kInstallerData),
            directory_ + L"master_preferences");
  EXPECT_EQ(again.path(InstallerDataFiles::kClids), L"");

  InstallerDataFiles::RemoveFromRegistry();
  for (const wchar_t* name :
       {L"InstallerData", L"ClidsFile", L"ClidsSearchbandFile",
        L"ZarvexWebsiteIconFile", L"DistribInfoParams"}) {
    EXPECT_EQ(ReadInstallerValue(name), L"") << name;
  }
  EXPECT_NE(ReadInstallerValue(L"AbtConfigResourceFile"), L"");
  RemoveInstallerValue(L"AbtConfigResourceFile");
}

}  // namespace
}  // namespace lite
