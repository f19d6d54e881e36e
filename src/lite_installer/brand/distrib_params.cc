#include "lite_installer/brand/distrib_params.h"

#include <windows.h>

#include <vector>

#include "base/file_util.h"
#include "base/scoped_handle.h"
#include "base/string_util.h"
#include "lite_installer/brand/distrib_info_file.h"
#include "lite_installer/brand/distrib_params_parser.h"
#include "lite_installer/brand/installer_tag.h"
#include "lite_installer/installer_command_line.h"
#include "lite_installer/installer_switches.h"
#include "lite_util/installer_registry.h"
#include "lite_util/logging/log_message.h"

namespace lite {

namespace {

constexpr LONGLONG kMaxTaggedFileSize = 0x7FFFFFFF;

bool ReadAllBytesFromFile(const std::wstring& path,
                          std::vector<uint8_t>* bytes) {
  base::ScopedHandle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file.IsValid()) {
    PLOG(ERROR) << "Can't open file " << path;
    return false;
  }
  LARGE_INTEGER size;
  if (!::GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0 ||
      size.QuadPart >= kMaxTaggedFileSize) {
    PLOG(ERROR) << "Failed to get length of " << path;
    return false;
  }
  bytes->resize(static_cast<size_t>(size.QuadPart));
  size_t done = 0;
  while (done < bytes->size()) {
    DWORD read = 0;
    DWORD chunk =
        static_cast<DWORD>(std::min<size_t>(bytes->size() - done, 1 << 24));
    if (!::ReadFile(file.Get(), bytes->data() + done, chunk, &read, nullptr) ||
        read == 0) {
      PLOG(ERROR) << "Failed to read all bytes of " << path;
      return false;
    }
    done += read;
  }
  return true;
}

}  // namespace

std::string ExtractTagFromFakeCertificate(const std::wstring& path) {
  std::vector<uint8_t> bytes;
  if (!ReadAllBytesFromFile(path, &bytes)) {
    PLOG(ERROR) << "Failed to read file " << path;
    return std::string();
  }
  CertificateTag tag = ExtractTagFromCertificateTable(bytes);
  switch (tag.error) {
    case TagReadError::kNone:
      return tag.tag;
    case TagReadError::kNoCertificateTable:
      PLOG(ERROR) << "Failed to find certificate table in " << path;
      break;
    case TagReadError::kInvalidAsn1:
      PLOG(ERROR) << "Invalid ASN1 format of certificate table in " << path;
      break;
  }
  return std::string();
}

std::string ReadTagBlock(const std::wstring& path) {
  base::ScopedHandle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        0, nullptr));
  if (!file.IsValid()) return std::string();
  base::ScopedHandle mapping(
      ::CreateFileMappingW(file.Get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
  if (!mapping.IsValid()) return std::string();
  base::ScopedMappedView view(
      ::MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 0, 0));
  if (!view.IsValid()) return std::string();
  LARGE_INTEGER size;
  std::string tag;
  if (::GetFileSizeEx(file.Get(), &size) && size.QuadPart >= 0 &&
      size.QuadPart < kMaxTaggedFileSize) {
    tag = ReadTagBlockFromBytes(
        std::span<const uint8_t>(static_cast<const uint8_t*>(view.Get()),
                                 static_cast<size_t>(size.QuadPart)));
  }
  return tag;
}

bool DistribParams::Get(const std::string& key, std::string* value) const {
  auto it = params_.find(key);
  if (it == params_.end()) return false;
  *value = it->second;
  return true;
}

bool DistribParams::StoreParamsInRegistry(const std::string& text) {
  return StoreInstallerValue(L"DistribInfoParams",
                             base::WidenSignedBytes(text));
}

std::wstring DistribParams::OwnModulePath() const {
  return base::GetExecutablePathWithinMaxPath();
}

bool DistribParams::LoadDistribParams() {
  std::string text;
  if (IsFullInstallerMode()) {
    base::NarrowWidenedBytes(ReadInstallerValue(L"DistribInfoParams"), &text);
  }
  const InstallerCommandLine& command_line =
      InstallerCommandLine::ForCurrentProcess();
  if (text.empty() && command_line.HasSwitch(switches::kDistrInfoParams)) {
    text = command_line.GetSwitchValueASCII(switches::kDistrInfoParams);
  }
  if (text.empty()) {
    std::wstring path = OwnModulePath();
    if (!path.empty()) {
      text = ExtractTagFromFakeCertificate(path);
      if (text.empty()) text = ReadTagBlock(path);
    }
  }
  if (text.empty()) return false;
  if (!IsFullInstallerMode()) StoreParamsInRegistry(text);
  params_ = ParseParams(text);
  if (params_.empty()) return false;
  distrib_info_file_ =
      CreateJsonFromDistribParams(params_, base::GetTempDirectory());
  return true;
}

std::string DistribParams::GetValue(const std::string& key) const {
  std::string value;
  Get(key, &value);
  return value;
}

bool DistribParams::GetBool(const std::string& key, bool* flag) const {
  *flag = false;
  std::string value = GetValue(key);
  if (value == "1") {
    *flag = true;
    return true;
  }
  return value == "2";
}

DistribParams::Map DistribParams::ParseParams(std::string_view text) {
  return ParseDistribParamsText(text);
}

}  // namespace lite
