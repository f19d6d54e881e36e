#include "lite_util/installer_registry.h"

#include <windows.h>

#include <string>

#include "base/file_util.h"
#include "base/scoped_handle.h"
#include "gtest/gtest.h"
#include "test/support/recording_logger.h"

namespace lite {
namespace {

class InstallerRegistryTest : public testing::Test {
 protected:
  void SetUp() override {
    logger_ = RecordingLogger::Install();
    key_ = L"Software\\ZarvexLiteTests\\" +
           std::to_wstring(::GetCurrentProcessId());
  }
  void TearDown() override {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\ZarvexLiteTests");
    SetLogger(nullptr);
  }
  void SetRaw(const wchar_t* name, DWORD type, const std::wstring& text) {
    base::ScopedRegistryKey key;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr, 0,
                                KEY_WRITE | KEY_WOW64_32KEY, nullptr,
                                key.Receive(), nullptr),
              ERROR_SUCCESS);
    ::RegSetValueExW(key.Get(), name, 0, type,
                     reinterpret_cast<const BYTE*>(text.c_str()),
                     static_cast<DWORD>((text.size() + 1) * 2));
  }
  std::string Where(const std::string& name) {
    return "HKEY_CURRENT_USER\\Software\\ZarvexLiteTests\\" +
           std::to_string(::GetCurrentProcessId()) + "\\" + name;
  }

  RecordingLogger* logger_ = nullptr;
  std::wstring key_;
};

TEST_F(InstallerRegistryTest, StoreReadRemove) {
  std::wstring value;
  EXPECT_FALSE(ReadValueFromRegistry(key_, L"brand", &value));
  EXPECT_TRUE(logger_->Has("No value to read: " + Where("brand")));

  EXPECT_TRUE(StoreValueInRegistry(key_, L"brand", L"zarvex x"));
  EXPECT_TRUE(logger_->Has("Stored " + Where("brand") + " = zarvex x"));
  EXPECT_TRUE(ReadValueFromRegistry(key_, L"brand", &value));
  EXPECT_EQ(value, L"zarvex x");
  EXPECT_TRUE(
      logger_->Has("Read " + Where("brand") + " which is \"zarvex x\""));

  EXPECT_TRUE(RemoveValueFromRegistry(key_, L"brand"));
  EXPECT_TRUE(logger_->Has("Removed " + Where("brand")));
  EXPECT_FALSE(RemoveValueFromRegistry(key_, L"brand"));
  EXPECT_TRUE(logger_->Has("No value to remove: " + Where("brand")));
}

TEST_F(InstallerRegistryTest, RemovingFromAMissingKeyCreatesIt) {
  EXPECT_FALSE(RemoveValueFromRegistry(key_, L"x"));
  base::ScopedRegistryKey key;
  ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, key_.c_str(), 0,
                            KEY_READ | KEY_WOW64_32KEY, key.Receive()),
            ERROR_SUCCESS);
}

TEST_F(InstallerRegistryTest, ValueTypes) {
  SetRaw(L"expand", REG_EXPAND_SZ, L"%LITE_REGISTRY_TEST%\\x");
  ::SetEnvironmentVariableW(L"LITE_REGISTRY_TEST", L"C:\\expanded");
  SetRaw(L"number", REG_DWORD, L"1");
  SetRaw(L"long", REG_EXPAND_SZ, L"%LITE_REGISTRY_LONG%");
  ::SetEnvironmentVariableW(L"LITE_REGISTRY_LONG",
                            std::wstring(1100, L'a').c_str());
  std::wstring value;
  EXPECT_TRUE(ReadValueFromRegistry(key_, L"expand", &value));
  EXPECT_EQ(value, L"C:\\expanded\\x");
  EXPECT_FALSE(ReadValueFromRegistry(key_, L"number", &value));
  EXPECT_TRUE(logger_->Has("Failed to read " + Where("number")));
  EXPECT_FALSE(ReadValueFromRegistry(key_, L"long", &value));
  EXPECT_EQ(value, L"");
}

TEST_F(InstallerRegistryTest, FilePathOfADeletedFileReadsEmpty) {
  std::wstring file = base::GetTempDirectory() + L"lite_registry_test.txt";
  base::WriteBytesToFile(file, "");
  const std::wstring name = L"LiteTestPath";
  ASSERT_TRUE(StoreInstallerValue(name, file));
  EXPECT_EQ(ReadFilePathFromRegistry(name), file);
  ::DeleteFileW(file.c_str());
  EXPECT_EQ(ReadFilePathFromRegistry(name), L"");
  EXPECT_TRUE(logger_->Has(
      "Read HKEY_CURRENT_USER\\Software\\Zarvex\\ZarvexBrowser\\LiteTestPath "
      "which is \"\""));
  EXPECT_TRUE(RemoveInstallerValue(name));
}

}  // namespace
}  // namespace lite
