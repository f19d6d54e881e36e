// String values under the installer's registry key (HKEY_CURRENT_USER,
// 32-bit view). Every operation logs what it did.
#ifndef LITE_UTIL_INSTALLER_REGISTRY_H_
#define LITE_UTIL_INSTALLER_REGISTRY_H_

#include <string>

namespace lite {

inline constexpr wchar_t kInstallerRegistryKey[] =
    L"Software\\Zarvex\\ZarvexBrowser";

// Creates the key when missing and sets a REG_SZ value.
bool StoreValueInRegistry(const std::wstring& key, const std::wstring& name,
                          const std::wstring& value);
// Creates the key when missing and deletes the value; false when there was
// no such value.
bool RemoveValueFromRegistry(const std::wstring& key, const std::wstring& name);
// Reads a REG_SZ value, or a REG_EXPAND_SZ value expanded (at most 1024
// characters); other types fail.
bool ReadValueFromRegistry(const std::wstring& key, const std::wstring& name,
                           std::wstring* value);

// The same on the installer's key.
bool StoreInstallerValue(const std::wstring& name, const std::wstring& value);
bool RemoveInstallerValue(const std::wstring& name);
std::wstring ReadInstallerValue(const std::wstring& name);

// A path recorded under the installer's key; empty when nothing exists at
// that path any more.
std::wstring ReadFilePathFromRegistry(const std::wstring& name);

}  // namespace lite

#endif  // LITE_UTIL_INSTALLER_REGISTRY_H_
