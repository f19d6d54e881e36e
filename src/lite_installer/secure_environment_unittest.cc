#include "lite_installer/secure_environment.h"

#include <windows.h>

#include <fstream>
#include <iterator>
#include <string>

#include "base/file_util.h"
#include "base/scoped_handle.h"
#include "base/string_util.h"
#include "gtest/gtest.h"

namespace lite {
namespace {

std::string ReadFile(const std::wstring& path) {
  std::ifstream file(base::WideToUTF8(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

// The child program the tests copy and run; built beside this test.
std::wstring ExitWithPath() {
  return base::DirectoryPart(base::GetExecutablePath()) + L"\\exit_with.exe";
}

class SecureEnvironmentTest : public testing::Test {
 protected:
  void SetUp() override {
    temp_ = base::CreateUniqueDirectory(base::GetTempDirectory());
    ASSERT_FALSE(temp_.empty());
    temp_ += L"\\";
    report_ = temp_ + L"report.txt";
    ::SetEnvironmentVariableW(L"LITE_TEST_REPORT", report_.c_str());
    ASSERT_TRUE(base::FileExists(ExitWithPath()));
  }
  void TearDown() override {
    ::SetEnvironmentVariableW(L"LITE_TEST_REPORT", nullptr);
    base::DeleteDirectoryRecursive(temp_.substr(0, temp_.size() - 1));
  }

  // Directories left inside temp_ besides the report.
  int LeftoverDirectories() {
    int count = 0;
    WIN32_FIND_DATAW data;
    base::ScopedFindHandle find(
        ::FindFirstFileW((temp_ + L"*").c_str(), &data));
    if (!find.IsValid()) return 0;
    do {
      std::wstring name = data.cFileName;
      if (name != L"." && name != L".." &&
          (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        ++count;
      }
    } while (::FindNextFileW(find.Get(), &data));
    return count;
  }

  std::wstring temp_;
  std::wstring report_;
};

TEST_F(SecureEnvironmentTest, ProtectedCopyOutcomes) {
  const struct {
    const wchar_t* command_line;
    SecureEnvironmentResult result;
    int32_t exit_code;
  } kCases[] = {
      {L"i.exe --exit-code=42 --brand-name=x",
       SecureEnvironmentResult::kCopyFinished, 42},
      {L"i.exe --exit-code=0", SecureEnvironmentResult::kCopyFinished, 0},
      {L"i.exe --exit-code=-200", SecureEnvironmentResult::kInsecure, -200},
      {L"i.exe --exit-code=701", SecureEnvironmentResult::kCopyFinished, 701},
  };
  for (const auto& c : kCases) {
    ::DeleteFileW(report_.c_str());
    int32_t exit_code = 12345;
    InstallerCommandLine own = InstallerCommandLine::FromString(c.command_line);
    EXPECT_EQ(RunProtectedCopy(ExitWithPath(), temp_, own, &exit_code),
              c.result);
    EXPECT_EQ(exit_code, c.exit_code);
    EXPECT_EQ(LeftoverDirectories(), 0) << "the copy's directory is removed";

    // The copy ran from its own directory with the switches passed on.
    std::string report = ReadFile(report_);
    EXPECT_NE(report.find("exit_with.exe\" "), std::string::npos) << report;
    EXPECT_NE(report.find("--spawned_in_protected_dir"), std::string::npos);
    EXPECT_NE(report.find(base::WideToUTF8(temp_)), std::string::npos);
  }
}

TEST_F(SecureEnvironmentTest, MissingExecutableOrTempDirectoryIsNotSecured) {
  int32_t exit_code = 7;
  InstallerCommandLine own;
  EXPECT_EQ(RunProtectedCopy(temp_ + L"missing.exe", temp_, own, &exit_code),
            SecureEnvironmentResult::kNotSecured);
  EXPECT_EQ(exit_code, 0);
  EXPECT_EQ(LeftoverDirectories(), 0);
  EXPECT_EQ(RunProtectedCopy(ExitWithPath(), L"", own, &exit_code),
            SecureEnvironmentResult::kNotSecured);
}

TEST_F(SecureEnvironmentTest, DllScan) {
  EXPECT_FALSE(DirectoryHasDll(temp_.substr(0, temp_.size() - 1)));
  ::CreateDirectoryW((temp_ + L"folder.dll").c_str(), nullptr);
  EXPECT_FALSE(DirectoryHasDll(temp_.substr(0, temp_.size() - 1)))
      << "a directory named *.dll is not a DLL";
  std::ofstream(base::WideToUTF8(temp_ + L"version.DLL")) << "x";
  EXPECT_TRUE(DirectoryHasDll(temp_.substr(0, temp_.size() - 1)));
}

TEST(SetUpSecureEnvironmentTest, RestrictsTheDllSearchWhereTheSystemCan) {
  int32_t exit_code = 99;
  SecureEnvironmentResult result = SetUpSecureEnvironment(&exit_code);
  EXPECT_EQ(exit_code, 0);
  EXPECT_EQ(result, SecureEnvironmentResult::kSecured);
}

}  // namespace
}  // namespace lite
