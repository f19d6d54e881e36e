#include "lite_util/download_urls.h"

#include <windows.h>

#include <wincrypt.h>

#include <limits>
#include <vector>

#include "base/file_util.h"
#include "base/file_version.h"
#include "base/string_util.h"
#include "lite_util/installer_registry.h"
#include "lite_util/logging/log_message.h"
#include "lite_util/service_hosts.h"
#include "lite_util/windows_version.h"

namespace lite {
namespace {

constexpr wchar_t kStateValue[] = L"try_x64";
constexpr char kExperimentName[] = "try_x64";
constexpr char kFromInstaller[] = "?from_installer=true";
constexpr int64_t kVersionedUrlLifetime = 2592000000000;  // 30 days, in us

int64_t FileTimeToMicroseconds(const FILETIME& time) {
  uint64_t value =
      (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  if (value == std::numeric_limits<uint64_t>::max()) {
    return std::numeric_limits<int64_t>::max();
  }
  return static_cast<int64_t>(value / 10);
}

int64_t NowMicroseconds() {
  FILETIME now;
  ::GetSystemTimeAsFileTime(&now);
  return FileTimeToMicroseconds(now);
}

}  // namespace

bool ParseUint64(const std::string& text, uint64_t* value) {
  if (text.empty()) return false;
  uint64_t result = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    unsigned digit = static_cast<unsigned>(c - '0');
    if (result > (std::numeric_limits<uint64_t>::max() - digit) / 10) {
      return false;
    }
    result = result * 10 + digit;
  }
  *value = result;
  return true;
}

bool ParseExperimentState(const std::wstring& text, int* state) {
  uint64_t value;
  std::string bytes;
  if (!base::NarrowWidenedBytes(text, &bytes) || !ParseUint64(bytes, &value) ||
      value > 2) {
    return false;
  }
  *state = static_cast<int>(value);
  return true;
}

X64BuildExperiment::X64BuildExperiment() : key_path_(kInstallerRegistryKey) {}

X64BuildExperiment::~X64BuildExperiment() = default;

bool X64BuildExperiment::IsNativeX64() const {
  SYSTEM_INFO info;
  ::GetNativeSystemInfo(&info);
  return info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64;
}

bool X64BuildExperiment::IsExperimentEnabled(const ParamLookup& params) const {
  std::string value;
  return params(kExperimentName, &value) && value == "1";
}

bool X64BuildExperiment::GetRamThreshold(const ParamLookup& params,
                                         uint64_t* threshold) const {
  std::string value;
  return params("x64_ram", &value) && ParseUint64(value, threshold);
}

bool X64BuildExperiment::GetTotalPhysicalMemory(uint64_t* total) const {
  MEMORYSTATUSEX status = {};
  status.dwLength = sizeof(status);
  if (!::GlobalMemoryStatusEx(&status)) return false;
  *total = status.ullTotalPhys;
  return true;
}

bool X64BuildExperiment::GenerateRandomByte(uint8_t* byte) const {
  HCRYPTPROV provider = 0;
  if (!::CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL,
                              CRYPT_VERIFYCONTEXT | CRYPT_SILENT)) {
    return false;
  }
  const bool generated = ::CryptGenRandom(provider, 1, byte) != FALSE;
  const DWORD error = ::GetLastError();
  ::CryptReleaseContext(provider, 0);
  ::SetLastError(error);
  return generated;
}

int X64BuildExperiment::ChooseRandomly() const {
  uint8_t byte = 0;
  if (!GenerateRandomByte(&byte)) {
    PLOG(ERROR) << "Random generator failed";
    return -1;
  }
  return byte & 1;
}

bool X64BuildExperiment::ReadState(int* state) const {
  std::wstring text;
  if (!ReadValueFromRegistry(key_path_, kStateValue, &text)) return false;
  return ParseExperimentState(text, state);
}

bool X64BuildExperiment::WriteState(int state) const {
  return StoreValueInRegistry(
      key_path_, kStateValue,
      base::UTF8ToWide(base::NumberToString(static_cast<int32_t>(state))));
}

bool X64BuildExperiment::ApplySwitches(bool download_x64, bool download_x32) {
  if (download_x64) {
    flavour_ = BuildFlavour::kX64;
    return true;
  }
  if (download_x32) {
    flavour_ = BuildFlavour::kX32;
    return true;
  }
  return false;
}

void X64BuildExperiment::AdjustDownloadUrl(const ParamLookup& params) {
  flavour_ = BuildFlavour::kNone;
  if (!IsNativeX64()) return;
  int state;
  if (ReadState(&state)) {
    if (state == 0) {
      flavour_ = BuildFlavour::kX32;
    } else if (state == 1) {
      flavour_ = BuildFlavour::kX64;
    } else {
      LOG(INFO) << "Experiment " << kExperimentName << " is disabled";
    }
    return;
  }
  if (!IsExperimentEnabled(params)) return;
  uint64_t threshold;
  if (!GetRamThreshold(params, &threshold)) return;
  uint64_t total = 0;
  if (GetTotalPhysicalMemory(&total) && total >= threshold) {
    // Without a draw the machine stays out of both groups this time.
    const int draw = ChooseRandomly();
    if (draw == 1) flavour_ = BuildFlavour::kX64;
    if (draw == 0) flavour_ = BuildFlavour::kX32;
    return;
  }
  LOG(INFO) << "Not enough memory for " << kExperimentName
            << " needed:" << threshold << ", available:" << total;
}

void X64BuildExperiment::ConfigurateRegistry(bool first_url_delivered) {
  if (flavour_ == BuildFlavour::kNone) return;
  int value = 2;
  if (first_url_delivered) value = flavour_ == BuildFlavour::kX64 ? 1 : 0;
  if (!WriteState(value)) {
    LOG(ERROR) << "Failed to write state to regitsry: " << value;
  }
}

std::vector<std::string> BuildDownloadUrls(BuildFlavour flavour,
                                           const SetupUrls& setup_urls,
                                           int windows_version,
                                           ModuleTimeFunction module_time) {
  std::vector<std::string> urls;
  if (windows_version == kWindowsXp || windows_version == kWindowsVista) {
    urls.push_back(std::string(kDownloadHost) +
                   "/browser-partners/_xp_builds/browser-setup.arc");
  } else {
    if (flavour == BuildFlavour::kX64) urls.push_back(setup_urls.setup_url64);
    if (flavour == BuildFlavour::kX32) urls.push_back(setup_urls.setup_url32);
    if (IsVersionedSetupUrlAllowed(setup_urls.setup_url_version, module_time)) {
      urls.push_back(setup_urls.setup_url_version);
    }
    urls.push_back(setup_urls.setup_url);
  }
  for (std::string& url : urls) url += kFromInstaller;
  return urls;
}

bool IsVersionedSetupUrlAllowed(const std::string& url,
                                ModuleTimeFunction module_time) {
  if (url.empty()) return false;
  if (url.find('{') != std::string::npos) {
    LOG(ERROR) << "Wrong setup url:" << url;
    return false;
  }
  int64_t built = 0;
  if (!(module_time ? module_time : GetModuleCreationTime)(
          base::GetExecutablePathWithinMaxPath(), &built) ||
      built == 0) {
    return false;
  }
  return NowMicroseconds() - built < kVersionedUrlLifetime;
}

bool GetModuleCreationTime(const std::wstring& path, int64_t* time) {
  VS_FIXEDFILEINFO info;
  if (base::ReadFixedFileInfo(path, &info)) {
    uint64_t date =
        (static_cast<uint64_t>(info.dwFileDateMS) << 32) | info.dwFileDateLS;
    if (date != 0) {
      *time = static_cast<int64_t>(date);
      return true;
    }
    LOG(INFO) << "Version time is 0 in " << path;
  } else {
    LOG(INFO) << "File version resource is absent in " << path;
  }
  LOG(INFO) << "Used the last write file time";
  WIN32_FILE_ATTRIBUTE_DATA attributes;
  if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard,
                              &attributes)) {
    return false;
  }
  *time = FileTimeToMicroseconds(attributes.ftCreationTime);
  return true;
}

}  // namespace lite
