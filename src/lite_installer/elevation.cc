#include "lite_installer/elevation.h"

#include <cstdint>
#include <limits>
#include <memory>
#include <string_view>

#include "base/scoped_handle.h"
#include "lite_installer/brand/distrib_params.h"
#include "lite_installer/installer_switches.h"
#include "lite_util/logging/log_message.h"
#include "lite_util/windows_version.h"

namespace lite {

namespace {

constexpr wchar_t kSystemPoliciesKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
constexpr wchar_t kConsentPromptValue[] = L"ConsentPromptBehaviorAdmin";

// Leading blanks, an optional sign, then digits up to the first other
// character; false without digits or outside the 32-bit range.
bool ParseLeadingInt32(std::string_view text, int32_t* value) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  int64_t number = 0;
  size_t digits = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++digits) {
    number = number * 10 + (text[i] - '0');
    if (number > int64_t{std::numeric_limits<int32_t>::max()} + 1) return false;
  }
  if (digits == 0) return false;
  if (negative) number = -number;
  if (number < std::numeric_limits<int32_t>::min() ||
      number > std::numeric_limits<int32_t>::max()) {
    return false;
  }
  *value = static_cast<int32_t>(number);
  return true;
}

bool GetProcessToken(HANDLE process, base::ScopedHandle* token) {
  HANDLE raw = nullptr;
  if (!::OpenProcessToken(process, TOKEN_QUERY, &raw)) {
    PLOG(ERROR) << "OpenProcessToken fail";
    return false;
  }
  token->Reset(raw);
  return true;
}

// The token's groups, asking for the size first; null on failure.
std::unique_ptr<uint8_t[]> GetTokenInfo(HANDLE token) {
  DWORD size = 0;
  if (!::GetTokenInformation(token, TokenGroups, nullptr, 0, &size) &&
      ::GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
    PLOG(ERROR) << "GetTokenInformation failed";
    return nullptr;
  }
  if (size < sizeof(TOKEN_GROUPS)) {
    LOG(ERROR) << "GetTokenInformation failed";
    return nullptr;
  }
  auto buffer = std::make_unique<uint8_t[]>(size);
  if (!::GetTokenInformation(token, TokenGroups, buffer.get(), size, &size)) {
    PLOG(ERROR) << "GetTokenInformation failed";
    return nullptr;
  }
  return buffer;
}

}  // namespace

bool AutoStartRequested(const DistribParams* distrib_params) {
  if (!distrib_params || distrib_params->GetValue("first") != "1") {
    return false;
  }
  bool flag = false;
  std::string ignored;
  return distrib_params->GetBool("def", &flag) &&
         (distrib_params->GetBool("stat", &flag) ||
          distrib_params->Get("statpromo", &ignored));
}

int UacMode(const DistribParams* distrib_params,
            const InstallerCommandLine& command_line) {
  if (command_line.HasSwitch(switches::kSystemLevel) ||
      command_line.HasSwitch(switches::kProgramFilesInstallation)) {
    return kUacAtInstallButton;
  }
  std::string text;
  if (!distrib_params || !distrib_params->Get("uac", &text)) {
    return kUacAtInstallButton;
  }
  int32_t value = 0;
  if (!ParseLeadingInt32(text, &value)) return kUacAtInstallButton;
  switch (value) {
    case 1:
      return kUacAtWindowCreated;
    case 2:
      return kUacNever;
    case 0:
      return AutoStartRequested(distrib_params) ? kUacAtWindowCreated
                                                : kUacAtInstallButton;
    default:
      return kUacAtInstallButton;
  }
}

bool IsUserAnAdminGroup(HANDLE process) {
  base::ScopedHandle token;
  if (!GetProcessToken(process, &token)) return false;
  BYTE sid_buffer[SECURITY_MAX_SID_SIZE];
  DWORD sid_size = sizeof(sid_buffer);
  if (!::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid_buffer,
                            &sid_size)) {
    PLOG(ERROR) << "CreateWellKnownSid failed";
    return false;
  }
  std::unique_ptr<uint8_t[]> info = GetTokenInfo(token.Get());
  if (!info) return false;
  const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(info.get());
  for (DWORD i = 0; i < groups->GroupCount; ++i) {
    if (::EqualSid(groups->Groups[i].Sid, sid_buffer)) return true;
  }
  return false;
}

bool AreUACNotificationsEnabled() {
  DWORD value = 0;
  HKEY raw = nullptr;
  // The 64-bit view on 64-bit Windows: the setting is the system's, not a
  // copy kept for 32-bit programs.
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSystemPoliciesKey, 0,
                      KEY_READ | KEY_WOW64_64KEY, &raw) == ERROR_SUCCESS) {
    base::ScopedRegistryKey key(raw);
    DWORD type = 0;
    DWORD size = sizeof(value);
    if (::RegQueryValueExW(key.Get(), kConsentPromptValue, nullptr, &type,
                           reinterpret_cast<BYTE*>(&value),
                           &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof(value)) {
      value = 0;
    }
  }
  LOG(INFO) << "Read HKEY_LOCAL_MACHINE\\" << kSystemPoliciesKey << "\\"
            << kConsentPromptValue << " which is \""
            << static_cast<unsigned long>(value) << "\"";
  return value != 0;
}

bool NeedStartThisProcessAsAdmin(bool in_admin_group, int windows_version,
                                 const InstallerCommandLine& command_line) {
  if (!in_admin_group) {
    LOG(INFO) << "User is not in admin group.";
    return false;
  }
  if (windows_version <= kWindowsServer2003) {
    LOG(INFO) << "Windows version is not suitable for elevated restart.";
    return false;
  }
  for (const char* name : switches::kNonInstallSwitches) {
    if (command_line.HasSwitch(name)) {
      LOG(INFO) << "Found non install-switch:" << name;
      return false;
    }
  }
  if (command_line.HasSwitch(switches::kRunAsAdmin)) {
    LOG(INFO) << "Run-as-admin functionality is already enabled.";
    return false;
  }
  return true;
}

std::wstring UacStatisticsValue(bool notifications_enabled,
                                bool elevated_copy) {
  if (!notifications_enabled) return L"100";
  return elevated_copy ? L"1" : L"0";
}

}  // namespace lite
