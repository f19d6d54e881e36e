#include "lite_util/download_urls.h"

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "base/file_util.h"
#include "gtest/gtest.h"
#include "lite_installer/brand/brand_info.h"
#include "lite_installer/brand/distrib_params.h"
#include "lite_installer/installer_command_line.h"
#include "lite_installer/installer_switches.h"
#include "lite_util/installer_registry.h"
#include "lite_util/windows_version.h"
#include "test/support/recording_logger.h"

namespace lite {
namespace {

// The parameters of a "key=value&..." text.
ParamLookup ParamsFromText(const std::string& text) {
  return [map = DistribParams::ParseParams(text)](const std::string& key,
                                                  std::string* value) {
    auto it = map.find(key);
    if (it == map.end()) return false;
    *value = it->second;
    return true;
  };
}

// Every system query answered by the test; the state kept in memory.
class FakeExperiment : public X64BuildExperiment {
 public:
  bool native_x64 = true;
  std::optional<uint64_t> memory = 8ull << 30;
  int random = 1;
  std::optional<int> state;
  int writes = 0;

  bool IsNativeX64() const override { return native_x64; }
  bool GetTotalPhysicalMemory(uint64_t* total) const override {
    if (!memory) return false;
    *total = *memory;
    return true;
  }
  int ChooseRandomly() const override { return random; }
  bool ReadState(int* value) const override {
    if (!state) return false;
    *value = *state;
    return true;
  }
  bool WriteState(int value) const override {
    const_cast<FakeExperiment*>(this)->state = value;
    ++const_cast<FakeExperiment*>(this)->writes;
    return true;
  }
};

TEST(X64BuildExperimentTest, StateAcrossRuns) {
  constexpr auto kNone = BuildFlavour::kNone;
  constexpr auto kX64 = BuildFlavour::kX64;
  constexpr auto kX32 = BuildFlavour::kX32;
  const struct {
    const char* name;
    std::optional<int> state_before;
    bool native_x64;
    std::string params;
    std::optional<uint64_t> memory;
    int random;
    BuildFlavour flavour;
    bool first_url_delivered;
    std::optional<int> state_after;
    const char* log;  // expected log line, or nullptr
  } kCases[] = {
      // clang-format off
      {"enrolled, 64-bit drawn", {}, true, "try_x64=1&x64_ram=100", 100, 1,
       kX64, true, 1, nullptr},
      {"enrolled, 32-bit drawn", {}, true, "try_x64=1&x64_ram=100", 200, 0,
       kX32, true, 0, nullptr},
      {"enrolled, later URL delivered", {}, true, "try_x64=1&x64_ram=1", 2, 1,
       kX64, false, 2, nullptr},
      {"memory short", {}, true, "try_x64=1&x64_ram=101", 100, 1, kNone, true,
       {}, "Not enough memory for try_x64 needed:101, available:100"},
      {"memory query failed", {}, true, "try_x64=1&x64_ram=1", {}, 1, kNone,
       true, {}, "Not enough memory for try_x64 needed:1, available:0"},
      {"not enrolled", {}, true, "try_x64=2&x64_ram=1", 100, 1, kNone, true,
       {}, nullptr},
      {"threshold not a number", {}, true, "try_x64=1&x64_ram=-1", 100, 1,
       kNone, true, {}, nullptr},
      {"threshold overflows", {}, true,
       "try_x64=1&x64_ram=18446744073709551616", 100, 1, kNone, true, {},
       nullptr},
      {"not 64-bit", {}, false, "try_x64=1&x64_ram=1", 100, 1, kNone, true, {},
       nullptr},
      {"state 1 keeps x64", 1, true, "", 100, 0, kX64, true, 1, nullptr},
      {"state 1, failed", 1, true, "", 100, 0, kX64, false, 2, nullptr},
      {"state 0 keeps x32", 0, true, "", 100, 1, kX32, true, 0, nullptr},
      {"state 2 is off", 2, true, "try_x64=1&x64_ram=1", 100, 1, kNone, true,
       2, "Experiment try_x64 is disabled"},
      {"state ignored on 32-bit", 1, false, "", 100, 1, kNone, true, 1,
       nullptr},
      // clang-format on
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    RecordingLogger* logger = RecordingLogger::Install();
    FakeExperiment experiment;
    experiment.native_x64 = c.native_x64;
    experiment.memory = c.memory;
    experiment.random = c.random;
    experiment.state = c.state_before;
    experiment.AdjustDownloadUrl(ParamsFromText(c.params));
    EXPECT_EQ(experiment.flavour(), c.flavour);
    experiment.ConfigurateRegistry(c.first_url_delivered);
    EXPECT_EQ(experiment.state, c.state_after);
    if (c.log) {
      EXPECT_TRUE(logger->Has(c.log));
    }
    SetLogger(nullptr);
  }
}

// The draw itself: the low bit of a byte of the system's generator. When
// the generator fails there is no draw: the machine stays out of the
// experiment this time rather than landing in one group.
TEST(X64BuildExperimentTest, DrawFromTheGenerator) {
  class DrawingExperiment : public FakeExperiment {
   public:
    std::optional<uint8_t> byte;  // none: the generator fails
    int ChooseRandomly() const override {
      return X64BuildExperiment::ChooseRandomly();
    }
    bool GenerateRandomByte(uint8_t* value) const override {
      if (!byte) {
        ::SetLastError(NTE_FAIL);
        return false;
      }
      *value = *byte;
      return true;
    }
  };
  const struct {
    std::optional<uint8_t> byte;
    int draw;
    BuildFlavour flavour;
    std::optional<int> state_after;
  } kCases[] = {
      {0x03, 1, BuildFlavour::kX64, 1},
      {0xFE, 0, BuildFlavour::kX32, 0},
      {std::nullopt, -1, BuildFlavour::kNone, std::nullopt},
  };
  for (const auto& c : kCases) {
    RecordingLogger* logger = RecordingLogger::Install();
    DrawingExperiment experiment;
    experiment.byte = c.byte;
    EXPECT_EQ(experiment.ChooseRandomly(), c.draw);
    experiment.AdjustDownloadUrl(ParamsFromText("try_x64=1&x64_ram=1"));
    EXPECT_EQ(experiment.flavour(), c.flavour);
    experiment.ConfigurateRegistry(true);
    EXPECT_EQ(experiment.state, c.state_after);
    EXPECT_EQ(logger->Has("Random generator failed"), !c.byte);
    SetLogger(nullptr);
  }
  // The system's own generator draws 0 or 1.
  const int draw = X64BuildExperiment().ChooseRandomly();
  EXPECT_TRUE(draw == 0 || draw == 1) << draw;
}

TEST(X64BuildExperimentTest, SwitchesForceAFlavourAndTheOutcomeIsStored) {
  const struct {
    const wchar_t* command_line;
    bool applied;
    BuildFlavour flavour;
  } kCases[] = {
      {L"i.exe --download-x64", true, BuildFlavour::kX64},
      {L"i.exe --download-x32", true, BuildFlavour::kX32},
      {L"i.exe --download-x64 --download-x32", true, BuildFlavour::kX64},
      {L"i.exe", false, BuildFlavour::kNone},
  };
  for (const auto& c : kCases) {
    FakeExperiment experiment;
    experiment.state = 2;
    const InstallerCommandLine command_line =
        InstallerCommandLine::FromString(c.command_line);
    EXPECT_EQ(experiment.ApplySwitches(
                  command_line.HasSwitch(switches::kDownloadX64),
                  command_line.HasSwitch(switches::kDownloadX32)),
              c.applied);
    EXPECT_EQ(experiment.flavour(), c.flavour);
  }
}

TEST(X64BuildExperimentTest, RegistryStateParsing) {
  const struct {
    const wchar_t* text;
    std::optional<int> state;
  } kCases[] = {
      // clang-format off
      {L"0", 0},     {L"1", 1},      {L"2", 2},  {L"3", {}},
      {L"", {}},     {L"-1", {}},    {L"1x", {}}, {L"01", 1},
      {L" 1", {}},   {L"99999999999999999999", {}},
      // U+0131 and U+0231 are no digits, though their low bytes are.
      {L"\u0131", {}}, {L"\u0231", {}},
      // clang-format on
  };
  for (const auto& c : kCases) {
    int state = -7;
    bool parsed = ParseExperimentState(c.text, &state);
    EXPECT_EQ(parsed, c.state.has_value()) << c.text;
    if (c.state) {
      EXPECT_EQ(state, *c.state) << c.text;
    }
  }
  // The real registry round trip.
  X64BuildExperiment experiment;
  ASSERT_TRUE(experiment.WriteState(2));
  int state = -1;
  EXPECT_TRUE(experiment.ReadState(&state));
  EXPECT_EQ(state, 2);
  EXPECT_EQ(ReadInstallerValue(L"try_x64"), L"2");
  RemoveInstallerValue(L"try_x64");
  EXPECT_FALSE(experiment.ReadState(&state));
}

int64_t g_module_time = 0;
bool FakeModuleTime(const std::wstring&, int64_t* time) {
  *time = g_module_time;
  return g_module_time != -1;
}

int64_t NowUs() {
  FILETIME now;
  ::GetSystemTimeAsFileTime(&now);
  return static_cast<int64_t>(
      ((static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime) /
      10);
}

TEST(DownloadUrlsTest, CandidateLists) {
  constexpr int64_t kDay = 86400ll * 1000000;
  BrandInfo brand(L"C:\\t\\");
  brand.ReadConfig(R"({"install": {
      "setup_url": "https://d/s.arc", "setup_url_version": "https://d/v.arc",
      "setup_url64": "https://d/64.arc", "setup_url32": "https://d/32.arc"}})");
  const std::string x = "?from_installer=true";
  const std::string xp =
      "https://localhost:18441/browser-partners/_xp_builds/browser-setup.arc" +
      x;
  struct Case {
    BuildFlavour flavour;
    int windows;
    int64_t module_age;  // -1: no module time
    std::vector<std::string> urls;
  };
  const Case kCases[] = {
      {BuildFlavour::kNone,
       kWindows10,
       29 * kDay,
       {"https://d/v.arc" + x, "https://d/s.arc" + x}},
      {BuildFlavour::kX64,
       kWindows10,
       29 * kDay,
       {"https://d/64.arc" + x, "https://d/v.arc" + x, "https://d/s.arc" + x}},
      {BuildFlavour::kX32,
       kWindows10,
       29 * kDay,
       {"https://d/32.arc" + x, "https://d/v.arc" + x, "https://d/s.arc" + x}},
      {BuildFlavour::kNone, kWindows10, 31 * kDay, {"https://d/s.arc" + x}},
      {BuildFlavour::kX64,
       kWindows10,
       31 * kDay,
       {"https://d/64.arc" + x, "https://d/s.arc" + x}},
      {BuildFlavour::kNone, kWindows10, -1, {"https://d/s.arc" + x}},
      {BuildFlavour::kNone,
       kWindows10,
       -2 * kDay,  // built "in the future"
       {"https://d/v.arc" + x, "https://d/s.arc" + x}},
      {BuildFlavour::kX64, kWindowsXp, 0, {xp}},
      {BuildFlavour::kNone, kWindowsVista, 0, {xp}},
      {BuildFlavour::kNone,
       kWindowsServer2003,
       31 * kDay,
       {"https://d/s.arc" + x}},
  };
  for (const Case& c : kCases) {
    g_module_time = c.module_age == -1 ? -1 : NowUs() - c.module_age;
    std::vector<std::string> urls = BuildDownloadUrls(
        c.flavour, brand.setup_urls(), c.windows, FakeModuleTime);
    EXPECT_EQ(urls, c.urls) << static_cast<int>(c.flavour) << " " << c.windows;
  }
}

TEST(DownloadUrlsTest, BuildDownloadUrlsWithTheRunningExecutable) {
  // This test executable was just built: its versioned URL is young.
  BrandInfo brand(L"C:\\t\\");
  brand.ReadConfig(R"({"setup_url": "s", "setup_url_version": "v"})");
  EXPECT_EQ(
      BuildDownloadUrls(BuildFlavour::kX64, brand.setup_urls(), 7),
      (std::vector<std::string>{"?from_installer=true", "v?from_installer=true",
                                "s?from_installer=true"}));
  RecordingLogger* logger = RecordingLogger::Install();
  BrandInfo placeholder(L"C:\\t\\");
  placeholder.ReadConfig(R"({"setup_url": "s", "setup_url_version": "v/{v}"})");
  EXPECT_EQ(BuildDownloadUrls(BuildFlavour::kNone, placeholder.setup_urls(), 7),
            (std::vector<std::string>{"s?from_installer=true"}));
  EXPECT_TRUE(logger->Has("Wrong setup url:v/{v}"));
  SetLogger(nullptr);
}

TEST(DownloadUrlsTest, ModuleTimeFromVersionResourceOrCreationTime) {
  // The installer carries a file date written after linking.
  std::wstring installer =
      base::DirectoryPart(base::GetExecutablePath()) + L"\\lite_installer.exe";
  int64_t time = 0;
  ASSERT_TRUE(GetModuleCreationTime(installer, &time));
  EXPECT_GT(time, NowUs() - 86400ll * 1000000 * 365);
  EXPECT_LE(time, NowUs());

  // Without a file date: the creation time, with the log lines.
  RecordingLogger* logger = RecordingLogger::Install();
  std::wstring plain = base::GetExecutablePath();
  ASSERT_TRUE(GetModuleCreationTime(plain, &time));
  WIN32_FILE_ATTRIBUTE_DATA data;
  ASSERT_TRUE(
      ::GetFileAttributesExW(plain.c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(
      time,
      static_cast<int64_t>(
          ((static_cast<uint64_t>(data.ftCreationTime.dwHighDateTime) << 32) |
           data.ftCreationTime.dwLowDateTime) /
          10));
  EXPECT_TRUE(logger->Has("File version resource is absent in "));
  EXPECT_TRUE(logger->Has("Used the last write file time"));
  EXPECT_FALSE(GetModuleCreationTime(plain + L".missing", &time));
  SetLogger(nullptr);
}

}  // namespace
}  // namespace lite
