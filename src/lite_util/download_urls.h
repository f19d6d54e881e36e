// Which URLs the setup package is downloaded from: the brand record's URLs,
// the Windows version, the age of the versioned URL and the x64 build
// experiment, whose per-user state lives in the registry.
#ifndef LITE_UTIL_DOWNLOAD_URLS_H_
#define LITE_UTIL_DOWNLOAD_URLS_H_

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace lite {

// Looks up a distribution parameter: true with its value when present.
using ParamLookup =
    std::function<bool(const std::string& key, std::string* value)>;

// The setup URLs of the brand record that the candidate list is made of.
struct SetupUrls {
  std::string setup_url;
  std::string setup_url_version;
  std::string setup_url64;
  std::string setup_url32;
};

enum class BuildFlavour { kNone = 0, kX64 = 1, kX32 = 2 };

// Sends some 64-bit capable machines to a 64-bit build and the others, as
// a control group, to an explicitly 32-bit one. Every system query is
// virtual so that tests can replace it.
class X64BuildExperiment {
 public:
  X64BuildExperiment();
  virtual ~X64BuildExperiment();

  virtual bool IsNativeX64() const;
  // The parameter "try_x64" is exactly "1".
  virtual bool IsExperimentEnabled(const ParamLookup& params) const;
  // The parameter "x64_ram": decimal bytes, no sign, no overflow.
  virtual bool GetRamThreshold(const ParamLookup& params,
                               uint64_t* threshold) const;
  virtual bool GetTotalPhysicalMemory(uint64_t* total) const;
  // 0 or 1 with equal odds, from the system's cryptographic generator; -1
  // (logged) when the generator fails.
  virtual int ChooseRandomly() const;
  // One byte of the system's cryptographic generator; false when it fails
  // (with the last error set).
  virtual bool GenerateRandomByte(uint8_t* byte) const;
  // The registry value "try_x64"; false when missing or not 0, 1 or 2.
  virtual bool ReadState(int* state) const;
  virtual bool WriteState(int state) const;

  // "download-x64" or "download-x32" forces a flavour; true when either is
  // present.
  bool ApplySwitches(bool download_x64, bool download_x32);
  // Chooses the flavour from the stored state or by enrolment.
  void AdjustDownloadUrl(const ParamLookup& params);
  // Records the outcome; `first_url_delivered`: the package came from the
  // first candidate.
  void ConfigurateRegistry(bool first_url_delivered);

  BuildFlavour flavour() const { return flavour_; }

 private:
  BuildFlavour flavour_ = BuildFlavour::kNone;
  std::wstring key_path_;
};

// Microseconds since 1601-01-01 UTC; replaceable for tests.
using ModuleTimeFunction = bool (*)(const std::wstring& path, int64_t* time);

// Parses the text of "try_x64": a decimal 0, 1 or 2.
bool ParseExperimentState(const std::wstring& text, int* state);
// Parses a decimal unsigned 64-bit number (digits only).
bool ParseUint64(const std::string& text, uint64_t* value);

// Whether the versioned setup URL is young enough (30 days from the
// executable's build time) to be on the download host.
bool IsVersionedSetupUrlAllowed(const std::string& url,
                                ModuleTimeFunction module_time = nullptr);

// The candidate URLs for `flavour`, each ending in "?from_installer=true".
// `windows_version` is the classification of WindowsVersion();
// `module_time` (optional) replaces GetModuleCreationTime.
std::vector<std::string> BuildDownloadUrls(
    BuildFlavour flavour, const SetupUrls& setup_urls, int windows_version,
    ModuleTimeFunction module_time = nullptr);

// The file date of the version resource, else the file's creation time.
bool GetModuleCreationTime(const std::wstring& path, int64_t* time);

}  // namespace lite

#endif  // LITE_UTIL_DOWNLOAD_URLS_H_
