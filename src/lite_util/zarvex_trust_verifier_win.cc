#include "lite_util/zarvex_trust_verifier_win.h"

#include <windows.h>

#include <optional>
#include <span>
#include <vector>

#include "base/file_version.h"
#include "base/scoped_handle.h"
#include "base/string_util.h"
#include "lite_util/extended_check_policy.h"
#include "lite_util/logging/log_message.h"
#include "lite_util/signature_verifier.h"
#include "lite_util/trust_bytes.h"
#include "lite_util/trust_decision.h"
#include "lite_util/trusted_list_keys.h"
#include "lite_util/verification_report.h"
#include "lite_util/win_trust_signatures.h"
#include "lite_util/windows_version.h"

namespace lite {
namespace {

// A copy of a resource's bytes; empty when it is missing.
std::vector<uint8_t> ReadResource(HMODULE module, const wchar_t* type,
                                  const wchar_t* name) {
  HRSRC resource = ::FindResourceW(module, name, type);
  if (!resource) return {};
  HGLOBAL handle = ::LoadResource(module, resource);
  DWORD size = ::SizeofResource(module, resource);
  const void* data = handle ? ::LockResource(handle) : nullptr;
  if (!data || size == 0) return {};
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  return std::vector<uint8_t>(bytes, bytes + size);
}

}  // namespace

std::string GetTrustJsonFromModule(const std::wstring& path) {
  if (!IsAbsoluteWindowsPath(path)) {
    LOG(ERROR) << "Attempting to GetTrustJsonFromModule at an invalid path: "
               << path;
    return std::string();
  }
  // Loaded for its resources only.
  base::ScopedModule module(::LoadLibraryExW(
      path.c_str(), nullptr,
      LOAD_LIBRARY_AS_IMAGE_RESOURCE | LOAD_LIBRARY_AS_DATAFILE));
  if (!module.IsValid()) {
    PLOG(ERROR) << "Failed to load module for GetTrustJsonFromModule: " << path;
    return std::string();
  }
  std::vector<uint8_t> signature_resource =
      ReadResource(module.Get(), L"SIGNATURE_DAT", L"SIGNATURE.DAT");
  std::optional<ListSignature> signature =
      ParseListSignature(signature_resource);
  if (!signature) {
    LOG(ERROR) << "Cannot find resource "
               << "SIGNATURE_DAT";
    return std::string();
  }
  std::vector<uint8_t> json =
      ReadResource(module.Get(), L"TRUSTED_JSON", L"TRUSTED.JSON");
  if (json.empty()) {
    LOG(ERROR) << "Cannot find resource "
               << "TRUSTED_JSON";
    return std::string();
  }
  std::optional<std::vector<uint8_t>> key =
      TrustedListKey(signature->key_number);
  if (!key) {
    LOG(ERROR) << "Cannot find key";
    return std::string();
  }
  SignatureVerifier verifier;
  if (!verifier.Verify(signature->signature, *key, json)) {
    LOG(ERROR) << "Verify error";
    return std::string();
  }
  return std::string(json.begin(), json.end());
}

TrustVerifier::TrustVerifier(std::string_view json)
    : list_(TrustedCertificateList::FromJson(json)) {}

bool TrustVerifier::VerifyModule(const std::wstring& path,
                                 bool prevents_network_use) {
  LOG(INFO) << "Verifying " << path;
  return VerifyModuleImpl(path, prevents_network_use);
}

bool TrustVerifier::VerifyModuleImpl(const std::wstring& path,
                                     bool prevents_network_use) {
  if (list_.empty()) return false;
  TrustEnvironment env;
  env.extended_check_allowed = IsExtendedCheckAllowed();
  env.verify_signer = kExtendedCheckSwitches.verify_signer;
  env.windows10_or_later = WindowsVersion() >= kWindows10;
  // The versions only feed the reports.
  if (GetVerificationReportObserver()) {
    env.crypt_version = GetCrypt32DllVersion();
    env.windows_version = GetWindowsVersion();
  }
  WinTrustSignatures signatures(path, prevents_network_use);
  return DecideTrust(list_, signatures, path, prevents_network_use, env);
}

bool IsExtendedCheckAllowed() {
  const ExtendedCheckSwitches& switches = kExtendedCheckSwitches;
  int version_class = WindowsVersion();
  // The version texts are read only when a limit asks for them.
  std::string windows_version, crypt32_version;
  if (!switches.win7_version.empty()) windows_version = GetWindowsVersion();
  if (!switches.crypt_version.empty()) crypt32_version = GetCrypt32DllVersion();
  return IsExtendedCheckAllowedFor(switches, version_class, windows_version,
                                   crypt32_version);
}

std::string GetWindowsVersion() {
  OSVERSIONINFOW info = {sizeof(info)};
  if (!::GetVersionExW(&info)) return std::string();
  DWORD revision = 0;
  DWORD size = sizeof(revision);
  if (::RegGetValueW(HKEY_LOCAL_MACHINE,
                     L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", L"UBR",
                     RRF_RT_REG_DWORD, nullptr, &revision,
                     &size) != ERROR_SUCCESS) {
    revision = 0;
  }
  return base::NumberToString(static_cast<uint32_t>(info.dwMajorVersion)) +
         "." +
         base::NumberToString(static_cast<uint32_t>(info.dwMinorVersion)) +
         "." + base::NumberToString(static_cast<uint32_t>(info.dwBuildNumber)) +
         "." + base::NumberToString(static_cast<uint32_t>(revision));
}

std::string GetCrypt32DllVersion() {
  wchar_t system[MAX_PATH];
  UINT length = ::GetSystemDirectoryW(system, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::string();
  std::wstring path = std::wstring(system, length) + L"\\crypt32.dll";
  VS_FIXEDFILEINFO info;
  if (!base::ReadFixedFileInfo(path, &info)) return std::string();
  return base::FileVersionText(info);
}

}  // namespace lite
