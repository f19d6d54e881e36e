#include "lite_util/user_id.h"

#include <windows.h>

#include <shlobj.h>

#include "base/file_util.h"
#include "base/guid.h"
#include "base/scoped_handle.h"
#include "lite_util/logging/log_message.h"
#include "lite_util/windows_version.h"

namespace lite {

namespace {

constexpr wchar_t kMarkerKey[] = L"Software\\Zarvex";
constexpr wchar_t kLowMarkerKey[] = L"Software\\AppDataLow\\Zarvex";

std::wstring MarkerName() {
  wchar_t user[257] = {};
  DWORD size = 257;
  if (!::GetUserNameW(user, &size)) return std::wstring();
  return std::wstring(L"UICreated_") + user;
}

// True when the id file could be read; `content` then holds its bytes (at
// most kMaxUserIdLength + 1 of them).
bool ReadUserIdFromFile(const std::wstring& path, std::string* content) {
  base::ScopedHandle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, 0, nullptr));
  LARGE_INTEGER size;
  if (!file.IsValid() || !::GetFileSizeEx(file.Get(), &size) ||
      size.QuadPart > static_cast<LONGLONG>(kMaxUserIdLength + 1)) {
    PLOG(ERROR) << "Failed to read file " << path;
    return false;
  }
  content->resize(static_cast<size_t>(size.QuadPart));
  DWORD read = 0;
  if (!content->empty() &&
      (!::ReadFile(file.Get(), content->data(),
                   static_cast<DWORD>(content->size()), &read, nullptr) ||
       read != content->size())) {
    PLOG(ERROR) << "Failed to read file " << path;
    return false;
  }
  return true;
}

bool RegistryValueExist(const wchar_t* key_path, const std::wstring& name) {
  base::ScopedRegistryKey key;
  LSTATUS status =
      ::RegOpenKeyExW(HKEY_CURRENT_USER, key_path, 0, KEY_READ, key.Receive());
  if (status == ERROR_FILE_NOT_FOUND) return false;
  if (status != ERROR_SUCCESS) {
    LOG_WITH_ERROR(ERROR, static_cast<uint32_t>(status))
        << "Can't open registry key: " << key_path;
    return false;
  }
  return ::RegQueryValueExW(key.Get(), name.c_str(), nullptr, nullptr, nullptr,
                            nullptr) == ERROR_SUCCESS;
}

bool IsUserIdMarked() {
  std::wstring name = MarkerName();
  if (name.empty()) return false;
  return RegistryValueExist(kMarkerKey, name) ||
         (WindowsVersion() > kWindowsServer2003 &&
          RegistryValueExist(kLowMarkerKey, name));
}

bool RememberUidIsCreated() {
  std::wstring name = MarkerName();
  if (name.empty()) return false;
  const wchar_t* key_path =
      WindowsVersion() > kWindowsServer2003 ? kLowMarkerKey : kMarkerKey;
  base::ScopedRegistryKey key;
  LSTATUS status =
      ::RegCreateKeyExW(HKEY_CURRENT_USER, key_path, 0, nullptr, 0,
                        KEY_SET_VALUE, nullptr, key.Receive(), nullptr);
  if (status != ERROR_SUCCESS) {
    LOG_WITH_ERROR(ERROR, static_cast<uint32_t>(status))
        << "Can't open registry key: " << key_path;
    return false;
  }
  DWORD one = 1;
  status = ::RegSetValueExW(key.Get(), name.c_str(), 0, REG_DWORD,
                            reinterpret_cast<const BYTE*>(&one), sizeof(one));
  key.Reset();
  if (status != ERROR_SUCCESS) {
    LOG_WITH_ERROR(ERROR, static_cast<uint32_t>(status))
        << "Can't create registry value '" << name << "' at '" << key_path;
    return false;
  }
  return true;
}

std::string GenerateAndStoreUserId() {
  std::string id = base::NewGuidString();
  if (id.empty()) return std::string();
  std::wstring path = GetUserIdFilePath(true);
  if (path.empty()) return std::string();
  base::ScopedHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr,
                                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                        nullptr));
  DWORD written = 0;
  if (!file.IsValid() ||
      !::WriteFile(file.Get(), id.data(), static_cast<DWORD>(id.size()),
                   &written, nullptr) ||
      written != id.size()) {
    PLOG(ERROR) << "Can't write file " << path;
    return std::string();
  }
  file.Reset();
  if (!RememberUidIsCreated()) {
    PLOG(ERROR) << "Can't create 'UI created' entry";
    return std::string();
  }
  return id;
}

}  // namespace

std::wstring GetUserIdFilePath(bool create) {
  wchar_t folder[MAX_PATH] = {};
  if (!::SHGetSpecialFolderPathW(nullptr, folder, CSIDL_APPDATA, create)) {
    PLOG(ERROR) << "Can't get path to AppData folder";
    return std::wstring();
  }
  std::wstring directory = std::wstring(folder) + L"\\Zarvex";
  if (create && !base::CreateDirectoryRecursive(directory)) {
    PLOG(ERROR) << "Can't create directory: " << directory;
    return std::wstring();
  }
  return directory + L"\\ui";
}

std::string GetUserIdInternal() {
  std::wstring path = GetUserIdFilePath(false);
  if (!path.empty() && base::FileExists(path)) {
    std::string content;
    if (ReadUserIdFromFile(path, &content)) {
      if (!content.empty() && content.size() <= kMaxUserIdLength) {
        return content;
      }
      LOG(ERROR) << "Incorrect User ID file content";
    }
  }
  if (IsUserIdMarked()) {
    LOG(INFO) << "Registry entry already exists, skip User ID file generation";
    return std::string();
  }
  return GenerateAndStoreUserId();
}

std::string GetUserId() {
  std::string id = GetUserIdInternal();
  if (id.size() >= 2 && id.front() == '{' && id.back() == '}') {
    return id.substr(1, id.size() - 2);
  }
  return id;
}

}  // namespace lite
