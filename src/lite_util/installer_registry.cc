#include "lite_util/installer_registry.h"

#include <windows.h>

#include <vector>

#include "base/scoped_handle.h"
#include "lite_util/logging/log_message.h"

namespace lite {

namespace {

constexpr DWORD kReadBufferBytes = 2048;
constexpr DWORD kExpandedCharacters = 1024;

std::wstring Describe(const std::wstring& key, const std::wstring& name) {
  return L"HKEY_CURRENT_USER\\" + key + L"\\" + name;
}

LSTATUS CreateForWriting(const std::wstring& key,
                         base::ScopedRegistryKey* handle) {
  return ::RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0,
                           KEY_WRITE | KEY_WOW64_32KEY, nullptr,
                           handle->Receive(), nullptr);
}

}  // namespace

bool StoreValueInRegistry(const std::wstring& key, const std::wstring& name,
                          const std::wstring& value) {
  base::ScopedRegistryKey handle;
  LSTATUS status = CreateForWriting(key, &handle);
  if (status == ERROR_SUCCESS) {
    status = ::RegSetValueExW(
        handle.Get(), name.c_str(), 0, REG_SZ,
        reinterpret_cast<const BYTE*>(value.c_str()),
        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  }
  bool stored = status == ERROR_SUCCESS;
  LOG(INFO) << (stored ? "Stored " : "Failed to store ") << Describe(key, name)
            << " = " << value;
  return stored;
}

bool RemoveValueFromRegistry(const std::wstring& key,
                             const std::wstring& name) {
  base::ScopedRegistryKey handle;
  LSTATUS status = CreateForWriting(key, &handle);
  if (status == ERROR_SUCCESS) {
    status = ::RegDeleteValueW(handle.Get(), name.c_str());
    if (status == ERROR_FILE_NOT_FOUND) {
      LOG(INFO) << "No value to remove: " << Describe(key, name);
      return false;
    }
  }
  bool removed = status == ERROR_SUCCESS;
  LOG(INFO) << (removed ? "Removed " : "Failed to remove ")
            << Describe(key, name);
  return removed;
}

bool ReadValueFromRegistry(const std::wstring& key, const std::wstring& name,
                           std::wstring* value) {
  value->clear();
  base::ScopedRegistryKey handle;
  LSTATUS status =
      ::RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0,
                      KEY_READ | KEY_WOW64_32KEY, handle.Receive());
  std::vector<wchar_t> buffer(kReadBufferBytes / sizeof(wchar_t) + 1, 0);
  DWORD type = 0;
  DWORD size = kReadBufferBytes;
  if (status == ERROR_SUCCESS) {
    status = ::RegQueryValueExW(handle.Get(), name.c_str(), nullptr, &type,
                                reinterpret_cast<BYTE*>(buffer.data()), &size);
  }
  if (status == ERROR_FILE_NOT_FOUND) {
    LOG(INFO) << "No value to read: " << Describe(key, name);
    return false;
  }
  bool ok =
      status == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ);
  std::wstring text;
  if (ok) {
    // The stored size need not include a terminating zero.
    text.assign(buffer.data(), size / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    if (type == REG_EXPAND_SZ) {
      wchar_t expanded[kExpandedCharacters];
      DWORD length = ::ExpandEnvironmentStringsW(text.c_str(), expanded,
                                                 kExpandedCharacters);
      ok = length != 0 && length <= kExpandedCharacters;
      text = ok ? std::wstring(expanded) : std::wstring();
    }
  }
  if (!ok) {
    LOG(INFO) << "Failed to read " << Describe(key, name);
    return false;
  }
  *value = text;
  LOG(INFO) << "Read " << Describe(key, name) << " which is \"" << text << "\"";
  return true;
}

bool StoreInstallerValue(const std::wstring& name, const std::wstring& value) {
  return StoreValueInRegistry(kInstallerRegistryKey, name, value);
}

bool RemoveInstallerValue(const std::wstring& name) {
  return RemoveValueFromRegistry(kInstallerRegistryKey, name);
}

std::wstring ReadInstallerValue(const std::wstring& name) {
  std::wstring value;
  ReadValueFromRegistry(kInstallerRegistryKey, name, &value);
  return value;
}

std::wstring ReadFilePathFromRegistry(const std::wstring& name) {
  std::wstring path;
  ReadValueFromRegistry(kInstallerRegistryKey, name, &path);
  if (!path.empty() &&
      ::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
    path.clear();
  }
  LOG(INFO) << "Read " << Describe(kInstallerRegistryKey, name)
            << " which is \"" << path << "\"";
  return path;
}

}  // namespace lite
