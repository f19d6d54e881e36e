#include "lite_installer/elevation.h"

#include <windows.h>

#include <string>

#include "base/scoped_handle.h"
#include "gtest/gtest.h"
#include "lite_installer/brand/distrib_params.h"
#include "lite_installer/elevated_process.h"
#include "lite_installer/progress_window_poster.h"
#include "lite_util/windows_version.h"
#include "test/support/recording_logger.h"
#include "test/support/test_distrib_params.h"

namespace lite {
namespace {

TEST(ElevationTest, UacModeFromSwitchesAndParameters) {
  const DistribParams::Map kAutoStart = {
      {"first", "1"}, {"def", "2"}, {"statpromo", "x"}};
  const struct {
    const wchar_t* command_line;
    DistribParams::Map params;
    int mode;
  } kCases[] = {
      {L"a.exe", {}, kUacAtInstallButton},
      {L"a.exe", {{"uac", "1"}}, kUacAtWindowCreated},
      {L"a.exe", {{"uac", "2"}}, kUacNever},
      {L"a.exe", {{"uac", " +2"}}, kUacNever},
      {L"a.exe", {{"uac", "2abc"}}, kUacNever},
      {L"a.exe", {{"uac", "7"}}, kUacAtInstallButton},
      {L"a.exe", {{"uac", "-1"}}, kUacAtInstallButton},
      {L"a.exe", {{"uac", "abc"}}, kUacAtInstallButton},
      {L"a.exe", {{"uac", ""}}, kUacAtInstallButton},
      {L"a.exe", {{"uac", "4294967298"}}, kUacAtInstallButton},  // 2 + 2^32
      {L"a.exe", {{"uac", "0"}}, kUacAtInstallButton},
      // 0 defers to the window's auto-start rule.
      {L"a.exe",
       {{"uac", "0"}, {"first", "1"}, {"def", "1"}, {"stat", "2"}},
       kUacAtWindowCreated},
      {L"a.exe",
       {{"uac", "0"}, {"first", "1"}, {"def", "0"}, {"stat", "1"}},
       kUacAtInstallButton},
      {L"a.exe",
       {{"uac", "0"}, {"first", "1"}, {"def", "1"}, {"stat", "0"}},
       kUacAtInstallButton},
      {L"a.exe",
       {{"uac", "0"}, {"first", "1"}, {"def", "2"}, {"statpromo", ""}},
       kUacAtWindowCreated},
      // A system-level installation ignores "uac".
      {L"a.exe --system-level", {{"uac", "2"}}, kUacAtInstallButton},
      {L"a.exe --program-files-installation",
       {{"uac", "1"}},
       kUacAtInstallButton},
  };
  for (const auto& c : kCases) {
    TestParams params(c.params);
    EXPECT_EQ(
        UacMode(&params, InstallerCommandLine::FromString(c.command_line)),
        c.mode)
        << c.command_line
        << " uac=" << (c.params.count("uac") ? c.params.at("uac") : "(none)");
  }
  EXPECT_EQ(UacMode(nullptr, InstallerCommandLine::FromString(L"a.exe")),
            kUacAtInstallButton);
  TestParams auto_start(kAutoStart);
  EXPECT_TRUE(AutoStartRequested(&auto_start));
}

TEST(ElevationTest, ChecksBeforeAnElevatedRestart) {
  const struct {
    bool admin;
    int windows_version;
    const wchar_t* command_line;
    bool need;
    const char* line;  // the refusal logged, or nothing
  } kCases[] = {
      {false, kWindows7, L"a.exe", false, "User is not in admin group."},
      {true, kWindowsServer2003, L"a.exe", false,
       "Windows version is not suitable for elevated restart."},
      {true, kWindowsXp, L"a.exe", false,
       "Windows version is not suitable for elevated restart."},
      {true, kWindows7, L"a.exe --patch --show-eula", false,
       "Found non install-switch:show-eula"},
      {true, kWindows10, L"a.exe --run-as-admin", false,
       "Run-as-admin functionality is already enabled."},
      {true, kWindowsVista, L"a.exe --silent", true, nullptr},
  };
  for (const auto& c : kCases) {
    RecordingLogger* logger = RecordingLogger::Install();
    EXPECT_EQ(NeedStartThisProcessAsAdmin(
                  c.admin, c.windows_version,
                  InstallerCommandLine::FromString(c.command_line)),
              c.need)
        << c.command_line;
    if (c.line) {
      EXPECT_TRUE(logger->Has(c.line)) << c.line;
      EXPECT_EQ(logger->Records().size(), 1u);
    } else {
      EXPECT_TRUE(logger->Records().empty());
    }
  }
}

TEST(ElevationTest, AdministratorsGroupOfAToken) {
  RecordingLogger* logger = RecordingLogger::Install();
  // Every Wine user belongs to the Administrators group, as an
  // administrator's filtered token does on Windows.
  EXPECT_TRUE(IsUserAnAdminGroup(::GetCurrentProcess()));
  EXPECT_FALSE(IsUserAnAdminGroup(nullptr));
  EXPECT_TRUE(logger->Has("OpenProcessToken fail"));
}

TEST(ElevationTest, PromptSettingAndStatisticsValue) {
  constexpr wchar_t kKey[] =
      L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
  HKEY raw = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0,
                              KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &raw,
                              nullptr),
            ERROR_SUCCESS);
  base::ScopedRegistryKey key(raw);
  DWORD saved = 0, size = sizeof(saved);
  const bool had_value =
      ::RegQueryValueExW(key.Get(), L"ConsentPromptBehaviorAdmin", nullptr,
                         nullptr, reinterpret_cast<BYTE*>(&saved),
                         &size) == ERROR_SUCCESS;
  for (DWORD value : {5u, 0u}) {
    ASSERT_EQ(
        ::RegSetValueExW(key.Get(), L"ConsentPromptBehaviorAdmin", 0, REG_DWORD,
                         reinterpret_cast<BYTE*>(&value), sizeof(value)),
        ERROR_SUCCESS);
    RecordingLogger* logger = RecordingLogger::Install();
    EXPECT_EQ(AreUACNotificationsEnabled(), value != 0);
    EXPECT_TRUE(logger->Has(
        "Read HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion"
        "\\Policies\\System\\ConsentPromptBehaviorAdmin which is \"" +
        std::to_string(value) + "\""));
  }
  ::RegDeleteValueW(key.Get(), L"ConsentPromptBehaviorAdmin");
  EXPECT_FALSE(AreUACNotificationsEnabled());  // a missing value reads 0
  if (had_value) {
    ::RegSetValueExW(key.Get(), L"ConsentPromptBehaviorAdmin", 0, REG_DWORD,
                     reinterpret_cast<BYTE*>(&saved), sizeof(saved));
  }
  const struct {
    bool enabled, copy;
    const wchar_t* value;
  } kValues[] = {{false, true, L"100"},
                 {false, false, L"100"},
                 {true, true, L"1"},
                 {true, false, L"0"}};
  for (const auto& v : kValues) {
    EXPECT_EQ(UacStatisticsValue(v.enabled, v.copy), v.value);
  }
}

TEST(ProgressWindowPosterTest, PostsToTheFirstInstallersWindow) {
  base::ScopedHandle unused;
  HWND window = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 100, 100,
                                  nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr) << ::GetLastError();
  HWND cancel = ::CreateWindowExW(
      0, L"BUTTON", L"x", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, window,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(kCancelButtonId)), nullptr,
      nullptr);
  ASSERT_NE(cancel, nullptr);
  ProgressWindowPoster poster(window);
  EXPECT_EQ(poster.GetWindowHandle(), window);
  poster.SetProgress(40);
  poster.OnTimeLeft(12, 1);
  poster.OnSetupLaunched();
  poster.OnDownloadProgress(0.5f);  // nothing of the download goes there
  MSG message;
  std::vector<std::pair<UINT, std::pair<WPARAM, LPARAM>>> posted;
  while (::PeekMessageW(&message, window, 0, 0, PM_REMOVE)) {
    if (message.message >= WM_APP) {
      posted.push_back({message.message, {message.wParam, message.lParam}});
    }
    ::DispatchMessageW(&message);
  }
  const std::vector<std::pair<UINT, std::pair<WPARAM, LPARAM>>> kExpected = {
      {WM_APP + 100, {40, 0}}, {WM_APP + 101, {12, 1}}};
  EXPECT_EQ(posted, kExpected);
  EXPECT_FALSE(::IsWindowVisible(cancel));
  ::DestroyWindow(window);
}

}  // namespace
}  // namespace lite
