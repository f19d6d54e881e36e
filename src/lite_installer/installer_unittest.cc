#include "lite_installer/installer.h"

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/file_util.h"
#include "gtest/gtest.h"
#include "lite_installer/brand_info.h"
#include "lite_installer/delayed_params.h"
#include "lite_installer/installer_data.h"
#include "lite_installer/setup_exit_codes.h"
#include "test/support/recording_logger.h"
#include "test/support/temp_directory_test.h"

namespace lite {
namespace {

class RecordingDelegate : public InstallerDelegate {
 public:
  void OnDownloadProgress(float) override {}
  void OnLongDownload() override {}
  void OnTimeLeft(int, int) override {}
  void RequestClose(int value) override { closes.push_back(value); }
  void OnFinished(int outcome) override { outcomes.push_back(outcome); }
  HWND GetWindowHandle() override { return nullptr; }
  void SetProgress(int percent) override { progress.push_back(percent); }
  void OnSetupLaunched() override { ++launched; }

  std::vector<int> closes, outcomes, progress;
  int launched = 0;
};

void SetMachine(const std::wstring& path, uint16_t machine) {
  std::string bytes;
  ASSERT_TRUE(base::ReadFileToString(path, &bytes));
  uint32_t pe = 0;
  ASSERT_GT(bytes.size(), 0x40u);
  std::memcpy(&pe, bytes.data() + 0x3C, 4);
  ASSERT_LT(pe + 6, bytes.size());
  std::memcpy(bytes.data() + pe + 4, &machine, 2);
  ASSERT_TRUE(base::WriteBytesToFile(path, bytes));
}

// An installer whose package "download" copies exit_with.exe, and whose
// verification is scripted; the setup that runs is that copy, told its exit
// code through the environment.
class TestInstaller : public Installer {
 public:
  TestInstaller(InstallerDelegate* delegate, const BrandInfo* brand)
      : Installer(delegate, brand, nullptr, false) {}

  bool trusted = true;
  // Marks the copied package as built for x64 (COFF machine 0x8664).
  bool foreign_machine = false;
  // Set by VerifyModule: whether the locked package could be changed.
  bool could_write = true;
  bool could_delete = true;

  int GetModule(const std::wstring& path, bool) override {
    std::wstring helper =
        base::DirectoryPart(base::GetExecutablePath()) + L"\\exit_with.exe";
    if (!::CopyFileW(helper.c_str(), path.c_str(), FALSE)) return 2;
    if (foreign_machine) SetMachine(path, 0x8664);
    return 0;
  }
  bool VerifyModule(const std::wstring& path) override {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    could_write = file != INVALID_HANDLE_VALUE;
    if (could_write) ::CloseHandle(file);
    could_delete = ::DeleteFileW(path.c_str()) != FALSE;
    return trusted;
  }
};

class InstallerTest : public TempDirectoryTest {
 protected:
  void SetUp() override {
    TempDirectoryTest::SetUp();
    SetSetupFailureReason(kSetupFailureNone);
  }
  void TearDown() override {
    ::SetEnvironmentVariableW(L"LITE_TEST_EXIT_CODE", nullptr);
    // What an unfinished installation leaves in the registry.
    InstallerDataFiles::RemoveFromRegistry();
    BrandInfo(directory_).RemoveFromRegistry();
    TempDirectoryTest::TearDown();
  }
  std::vector<std::wstring> Files() {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW((directory_ + L"zb*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do names.push_back(data.cFileName);
    while (::FindNextFileW(find, &data));
    ::FindClose(find);
    return names;
  }
};

TEST_F(InstallerTest, OutcomesOfTheSetupRun) {
  const struct {
    const wchar_t* setup_exit;  // nullptr: verification fails
    int install_browser;
    int result_code;
    std::vector<int> outcomes;  // what the window hears
  } kCases[] = {
      {L"0", 0, 0, {}},
      {L"3", 0, 3, {}},
      {L"7", 1, 7, {kOutcomeAlreadyInstalled}},
      {nullptr, 1, 402, {kOutcomeInstallerFailure}},
  };
  for (const auto& c : kCases) {
    SetSetupFailureReason(kSetupFailureNone);
    BrandInfo brand(directory_);
    RecordingDelegate delegate;
    TestInstaller installer(&delegate, &brand);
    installer.trusted = c.setup_exit != nullptr;
    ::SetEnvironmentVariableW(L"LITE_TEST_EXIT_CODE", c.setup_exit);
    installer.ProceedWithInstallation();
    const int result = installer.InstallBrowser();
    EXPECT_EQ(result, c.install_browser);
    EXPECT_EQ(installer.GetResultCode(), c.result_code);
    if (result != 0) {
      const int reason = GetSetupFailureReason();
      if (ShouldReportOutcome(false, reason)) {
        delegate.OnFinished(ChooseOutcome(result, reason));
      }
    }
    EXPECT_EQ(delegate.outcomes, c.outcomes);
    EXPECT_EQ(delegate.launched, c.setup_exit ? 1 : 0);
    // The locked package could be neither changed nor removed, and it is
    // gone on every path out.
    EXPECT_FALSE(installer.could_write);
    EXPECT_FALSE(installer.could_delete);
    EXPECT_TRUE(Files().empty());
  }
}

TEST_F(InstallerTest, SetupForAnotherMachine) {
  BrandInfo brand(directory_);
  RecordingDelegate delegate;
  TestInstaller installer(&delegate, &brand);
  installer.foreign_machine = true;
  installer.ProceedWithInstallation();
  EXPECT_EQ(installer.InstallBrowser(), 1);
  EXPECT_EQ(installer.GetResultCode(), 400);
  EXPECT_EQ(delegate.launched, 0);
  if (!logger_->Has("Create process failed. - 216,")) {
    GTEST_SKIP() << "Wine refuses a foreign machine type with "
                    "ERROR_BAD_EXE_FORMAT (193) instead of "
                    "ERROR_EXE_MACHINE_TYPE_MISMATCH (216); the mapping "
                    "of 216 is tested in setup_exit_codes_unittest";
  }
  EXPECT_EQ(GetSetupFailureReason(), kSetupFailureMachineTypeMismatch);
  EXPECT_EQ(ChooseOutcome(1, GetSetupFailureReason()),
            kOutcomeMachineTypeMismatch);
}

TEST_F(InstallerTest, StopWhileWaitingForConfirmation) {
  BrandInfo brand(directory_);
  TestInstaller installer(nullptr, &brand);
  installer.StartInstallAsync();
  // The install thread downloads, then waits for the user.
  EXPECT_TRUE(installer.WaitForInstallAsync());
  EXPECT_TRUE(logger_->Has(
      "Installation after download event isn't in signal state or "
      "installation was stopped early."));
  EXPECT_EQ(installer.GetResultCode(), 400);
  EXPECT_TRUE(Files().empty());
}

}  // namespace
}  // namespace lite
