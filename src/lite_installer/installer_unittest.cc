#include "lite_installer/installer.h"

#include <windows.h>

#include <cstring>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "base/file_util.h"
#include "base/scoped_handle.h"
#include "base/string_util.h"
#include "gtest/gtest.h"
#include "lite_installer/brand/brand_info.h"
#include "lite_installer/brand/distrib_params.h"
#include "lite_installer/brand/installer_data.h"
#include "lite_installer/delayed_params.h"
#include "lite_installer/exit_codes.h"
#include "lite_installer/setup_exit_codes.h"
#include "lite_util/installer_registry.h"
#include "lite_util/windows_version.h"
#include "test/support/recording_logger.h"
#include "test/support/temp_directory_test.h"
#include "test/support/test_distrib_params.h"

namespace lite {
namespace {

class RecordingDelegate : public InstallerDelegate {
 public:
  void OnDownloadProgress(float) override {}
  void OnLongDownload() override {}
  void OnTimeLeft(int seconds, int) override { times_left.push_back(seconds); }
  void RequestClose(int value) override { closes.push_back(value); }
  void OnFinished(int outcome) override { outcomes.push_back(outcome); }
  HWND GetWindowHandle() override { return window; }
  void SetProgress(int percent) override { progress.push_back(percent); }
  void OnSetupLaunched() override { ++launched; }

  HWND window = nullptr;
  std::vector<int> closes, outcomes, progress, times_left;
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

std::wstring HelperPath() {
  return base::DirectoryPart(base::GetExecutablePath()) + L"\\exit_with.exe";
}

// What others may do with the package file at a moment of the run.
struct Access {
  bool read = false;
  bool write = false;
  bool remove = false;
};

Access TryAccess(const std::wstring& path) {
  Access access;
  const std::pair<DWORD, bool*> kTries[] = {{GENERIC_READ, &access.read},
                                            {GENERIC_WRITE, &access.write}};
  for (auto [rights, result] : kTries) {
    base::ScopedFile file(::CreateFileW(path.c_str(), rights,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, 0, nullptr));
    *result = file.IsValid();
  }
  access.remove = ::DeleteFileW(path.c_str()) != FALSE;
  return access;
}

// What a test's installer is given by default: a plain command line, the
// Windows of the test runs (Wine's default, Windows 7), no display scale.
InstallerInputs TestInputs(const wchar_t* command_line = L"lite_installer.exe",
                           int windows_version = kWindows7) {
  InstallerInputs inputs;
  inputs.command_line = InstallerCommandLine::FromString(command_line);
  inputs.windows_version = windows_version;
  return inputs;
}

// An installer whose setup is exit_with.exe (told its exit code through the
// environment), whose verification is scripted and whose result report is
// kept instead of sent. The package arrives either as a copy put in place
// of GetModule, or through the controller's own GetModule with a scripted
// download loop.
class TestInstaller : public Installer {
 public:
  TestInstaller(InstallerDelegate* delegate, const BrandInfo* brand,
                const DistribParams* params = nullptr,
                InstallerInputs inputs = TestInputs())
      : Installer(delegate, brand, params, false, std::move(inputs)) {}

  bool trusted = true;
  // Marks the package as built for x64 (COFF machine 0x8664).
  bool foreign_machine = false;
  // The package is no program at all.
  bool not_a_program = false;
  // The controller's GetModule and download, scripted below.
  bool real_get_module = false;
  DWORD first_attempt_ms = 0;
  bool download_fails = false;
  std::optional<int> time_left;  // reported by the download
  // Someone else keeps the copied package open for writing.
  bool hold_package_open = false;

  std::wstring package;
  Access during_download, at_verification;
  std::vector<std::wstring> reports;
  std::vector<std::wstring> urls_tried;
  int download_module_calls = 0;

  int GetModule(const std::wstring& path, bool lock_wanted) override {
    package = path;
    if (real_get_module) return Installer::GetModule(path, lock_wanted);
    if (!::CopyFileW(HelperPath().c_str(), path.c_str(), FALSE)) return 2;
    if (foreign_machine) SetMachine(path, 0x8664);
    if (not_a_program && !base::WriteBytesToFile(path, "not a program")) {
      return 2;
    }
    if (hold_package_open) {
      holder_.Reset(
          ::CreateFileW(path.c_str(), GENERIC_WRITE,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        nullptr, OPEN_EXISTING, 0, nullptr));
    }
    return 0;
  }
  ModuleResult DownloadModule(
      HANDLE file, const InstallerCommandLine& command_line) override {
    ++download_module_calls;
    return Installer::DownloadModule(file, command_line);
  }
  bool RunDownloadLoop(const std::wstring& url, DownloadSink* sink,
                       DownloadProgressObserver* observer,
                       DownloadLoopResult* result) override {
    urls_tried.push_back(url);
    ::Sleep(first_attempt_ms);
    first_attempt_ms = 0;
    if (time_left && observer) observer->OnTimeLeft(*time_left, 1);
    if (download_fails) {
      result->error_text = "internet_read-12002";
      return false;
    }
    std::string bytes;
    if (!base::ReadFileToString(HelperPath(), &bytes)) return false;
    sink->Write(bytes.data(), static_cast<uint32_t>(bytes.size()));
    during_download = TryAccess(package);
    return true;
  }
  DWORD PauseBetweenAttemptsMs() const override { return 0; }
  DWORD BrowserWatchIntervalMs() const override { return 10; }
  bool Download(const std::wstring& url, DownloadSink*) override {
    reports.push_back(url);
    return true;
  }
  bool VerifyModule(const std::wstring& path) override {
    at_verification = TryAccess(path);
    return trusted;
  }

 private:
  base::ScopedFile holder_;
};

// The statistics events the installer sent, as the sender logs them: a line
// "InstallStatSender::Send:" followed by one "name=value" line per field.
std::vector<std::map<std::string, std::string>> SentEvents(
    RecordingLogger* logger) {
  std::vector<std::map<std::string, std::string>> events;
  for (const LogRecord& record : logger->Records()) {
    if (std::strcmp(record.function, "GetQueryUrl") != 0) continue;
    if (record.text == "InstallStatSender::Send:") {
      events.emplace_back();
    } else if (!events.empty()) {
      size_t equals = record.text.find('=');
      events.back()[record.text.substr(0, equals)] =
          record.text.substr(equals + 1);
    }
  }
  return events;
}

// The value of `field` in the events with stage `stage`, "-" for an event
// without it.
std::vector<std::string> Field(
    const std::vector<std::map<std::string, std::string>>& events,
    const std::string& stage, const std::string& field) {
  std::vector<std::string> values;
  for (const auto& event : events) {
    auto it = event.find("stage");
    if (it == event.end() || it->second != stage) continue;
    auto value = event.find(field);
    values.push_back(value == event.end() ? "-" : value->second);
  }
  return values;
}

class InstallerTest : public TempDirectoryTest {
 protected:
  void SetUp() override {
    TempDirectoryTest::SetUp();
    SetSetupFailureReason(kSetupFailureNone);
  }
  void TearDown() override {
    for (const wchar_t* name : {L"LITE_TEST_EXIT_CODE", L"LITE_TEST_REPORT"}) {
      ::SetEnvironmentVariableW(name, nullptr);
    }
    // What an unfinished installation leaves in the registry.
    InstallerDataFiles::RemoveFromRegistry();
    RemoveInstallerValue(L"AbtConfigResourceFile");
    RemoveInstallerValue(L"lang");
    RemoveInstallerValue(L"try_x64");
    BrandInfo(directory_).RemoveFromRegistry();
    TempDirectoryTest::TearDown();
  }
  std::vector<std::wstring> Files() {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    base::ScopedFindHandle find(
        ::FindFirstFileW((directory_ + L"zb*").c_str(), &data));
    if (!find.IsValid()) return names;
    do names.push_back(data.cFileName);
    while (::FindNextFileW(find.Get(), &data));
    return names;
  }
  // A brand record whose one download URL the scripted loop answers.
  void Configure(BrandInfo& brand) {
    brand.ReadConfig(
        R"({"brand_name": "zarvex", "setup_url": "https://localhost:1/s"})");
  }
};

// Whole installations through Install(): the outcome the window hears, the
// result code, the setup's statistics and the report come from the
// controller itself.
TEST_F(InstallerTest, OutcomesOfTheSetupRun) {
  const struct {
    const char* name;
    const wchar_t* setup_exit;  // nullptr: verification fails
    bool not_a_program;         // the setup cannot start
    int result_code;
    std::vector<int> outcomes;              // what the window hears
    std::vector<std::string> exited_error;  // of setup_exe_exited
    const char* report;
  } kCases[] = {
      {"success", L"0", false, 0, {}, {"0"}, "result=success"},
      {"exit code 3", L"3", false, 3, {}, {"-"}, "result=success"},
      {"already installed",
       L"7",
       false,
       7,
       {kOutcomeAlreadyInstalled},
       {"7"},
       "result=failed"},
      {"not trusted",
       nullptr,
       false,
       kExitVerificationFailed,
       {kOutcomeInstallerFailure},
       {},
       "result=failed"},
      {"cannot start",
       L"0",
       true,
       kExitInstallerUndecided,
       {kOutcomeInstallerFailure},
       {"FailedToStart"},
       "result=failed"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    logger_ = RecordingLogger::Install();
    SetSetupFailureReason(kSetupFailureNone);
    BrandInfo brand(directory_);
    RecordingDelegate delegate;
    TestInstaller installer(&delegate, &brand);
    installer.trusted = c.setup_exit != nullptr;
    installer.not_a_program = c.not_a_program;
    ::SetEnvironmentVariableW(L"LITE_TEST_EXIT_CODE", c.setup_exit);
    installer.InstallSilently();
    EXPECT_EQ(installer.GetResultCode(), c.result_code);
    EXPECT_EQ(delegate.outcomes, c.outcomes);
    EXPECT_EQ(delegate.launched, c.setup_exit && !c.not_a_program ? 1 : 0);
    // No browser window appeared: the window is let go.
    EXPECT_EQ(delegate.closes, std::vector<int>{1});
    EXPECT_EQ(Field(SentEvents(logger_), "setup_exe_exited", "error"),
              c.exited_error);
    ASSERT_EQ(installer.reports.size(), 1u);
    EXPECT_NE(installer.reports[0].find(base::UTF8ToWide(c.report)),
              std::wstring::npos)
        << installer.reports[0];
    // The locked package could be neither changed nor removed, and it is
    // gone on every path out.
    if (c.setup_exit && !c.not_a_program) {
      EXPECT_FALSE(installer.at_verification.write);
      EXPECT_FALSE(installer.at_verification.remove);
    }
    EXPECT_TRUE(Files().empty());
  }
}

// The controller's one decision on how an installation ended, also for what
// Wine cannot bring about: a setup for another machine, a failure reason
// the elevated copy recorded, a window closed at the wrong moment.
TEST(InstallerOutcomeTest, OutcomeOfTheInstallation) {
  const int32_t kMachine =
      FailureReasonForCreateProcessError(ERROR_EXE_MACHINE_TYPE_MISMATCH);
  const int32_t kInstalled = FailureReasonForExitCode(7);
  const struct {
    const char* what;
    int result;  // InstallBrowser's
    int32_t reason;
    bool stopped;
    std::optional<int32_t> window;  // what the window hears
    bool success;                   // what the report says
  } kCases[] = {
      {"success", 0, 0, false, std::nullopt, true},
      {"success, the window closed since", 0, 0, true, std::nullopt, true},
      {"setup exited with 7", 1, kInstalled, false, kOutcomeAlreadyInstalled,
       false},
      {"setup for another machine", 1, kMachine, false,
       kOutcomeMachineTypeMismatch, false},
      {"generic failure", 1, 0, false, kOutcomeInstallerFailure, false},
      {"download failed", 2, 0, false, kOutcomeDownloadFailed, false},
      {"CryptoPro module", 3, 0, false, kOutcomeCryptoProFailure, false},
      {"a reason does not replace a download code", 2, kInstalled, false,
       kOutcomeDownloadFailed, false},
      {"window closed during the download", 2, 0, true, std::nullopt, false},
      {"window closed, yet the setup exited with 7", 1, kInstalled, true,
       kOutcomeAlreadyInstalled, false},
  };
  for (const auto& c : kCases) {
    const Installer::Outcome outcome =
        Installer::OutcomeOf(c.result, c.reason, c.stopped);
    EXPECT_EQ(outcome.window_outcome, c.window) << c.what;
    EXPECT_EQ(outcome.success, c.success) << c.what;
  }
}

// What the controller takes from its caller rather than from the process:
// the Windows version decides the make-default choice and the download
// host, the command line the download's flavour, the base of the setup's
// command line and whether the window is let go as soon as the setup ends,
// and the display scale is what the first event reports.
TEST_F(InstallerTest, InputsFromTheCaller) {
  const std::wstring kXpBuild =
      L"https://localhost:18441/browser-partners/_xp_builds/"
      L"browser-setup.arc?from_installer=true";
  const std::wstring kPlain = L"https://localhost:1/s?from_installer=true";
  const std::wstring kX64 = L"https://localhost:1/s64?from_installer=true";
  const struct {
    const char* name;
    int windows_version;
    const wchar_t* command_line;
    double scale_factor;
    bool can_make_default;  // and the setup is told to
    std::wstring first_url;
    std::vector<int> progress;
    std::string dpi;  // of the installer_started event
  } kCases[] = {
      {"Windows 7", kWindows7, L"i.exe", 1.0, true, kPlain, {40}, "100"},
      {"Windows 8.1", kWindows81, L"i.exe", 1.0, false, kPlain, {40}, "100"},
      {"Windows XP", kWindowsXp, L"i.exe", 1.0, true, kXpBuild, {40}, "100"},
      {"own switches and display scale",
       kWindows7,
       L"i.exe --download-x64 --do-not-launch-browser --clids-file=C:\\o.xml",
       1.5,
       true,
       kX64,
       {40, 100},
       "150"},
  };
  const std::wstring record = directory_ + L"command_line.txt";
  ::SetEnvironmentVariableW(L"LITE_TEST_REPORT", record.c_str());
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    logger_ = RecordingLogger::Install();
    ::DeleteFileW(record.c_str());
    BrandInfo brand(directory_);
    brand.ReadConfig(
        R"({"brand_name": "zarvex", "setup_url": "https://localhost:1/s",
            "setup_url64": "https://localhost:1/s64"})");
    RecordingDelegate delegate;
    InstallerInputs inputs = TestInputs(c.command_line, c.windows_version);
    inputs.scale_factor = c.scale_factor;
    TestInstaller installer(&delegate, &brand, nullptr, std::move(inputs));
    installer.real_get_module = true;
    EXPECT_EQ(installer.CanMakeDefaultBrowser(), c.can_make_default);
    installer.SetMakeDefaultBrowser(true);
    installer.InstallSilently();
    ASSERT_EQ(installer.GetResultCode(), kExitSuccess);
    ASSERT_FALSE(installer.urls_tried.empty());
    EXPECT_EQ(installer.urls_tried[0], c.first_url);
    EXPECT_EQ(delegate.progress, c.progress);
    EXPECT_EQ(delegate.closes, std::vector<int>{1});
    const auto events = SentEvents(logger_);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events[0].at("action"), "installer_started");
    EXPECT_EQ(events[0].at("dpi"), c.dpi);

    std::string text;
    ASSERT_TRUE(base::ReadFileToString(record, &text));
    InstallerCommandLine setup = InstallerCommandLine::FromString(
        base::UTF8ToWide(text.substr(0, text.find('\n'))));
    EXPECT_EQ(setup.HasSwitch("make-browser-default-after-import"),
              c.can_make_default);
    // The setup's command line starts from the one the controller was
    // given, whose data file paths the controller takes as its own.
    const InstallerCommandLine own =
        InstallerCommandLine::FromString(c.command_line);
    for (const auto& [name, value] : own.switches()) {
      EXPECT_TRUE(setup.HasSwitch(name)) << name;
      EXPECT_EQ(setup.GetSwitchValue(name), value) << name;
    }
  }
}

// With "setup_arc_permanent_lock" the package is held from its creation on:
// others may read it while it downloads but never change or remove it, up
// to the end of the setup's run.
TEST_F(InstallerTest, PermanentLockHoldsThePackageFromItsCreation) {
  const struct {
    const char* name;
    DistribParams::Map params;
    Access during_download;
  } kCases[] = {
      {"permanent lock", {{"setup_arc_permanent_lock", "1"}}, {true}},
      {"lock after the download", {}, {}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    BrandInfo brand(directory_);
    Configure(brand);
    TestParams params(c.params);
    RecordingDelegate delegate;
    TestInstaller installer(&delegate, &brand, &params);
    installer.real_get_module = true;
    installer.InstallSilently();
    EXPECT_EQ(installer.GetResultCode(), 0);
    EXPECT_EQ(delegate.launched, 1);
    EXPECT_EQ(installer.during_download.read, c.during_download.read);
    EXPECT_FALSE(installer.during_download.write);
    EXPECT_FALSE(installer.during_download.remove);
    EXPECT_TRUE(installer.at_verification.read);
    EXPECT_FALSE(installer.at_verification.write);
    EXPECT_FALSE(installer.at_verification.remove);
    EXPECT_TRUE(Files().empty());
  }
}

// A lock that cannot be taken is logged first, with its own system error,
// and only then is the setup_arc_lock event sent (whatever sending does to
// the thread's last error).
TEST_F(InstallerTest, ALockThatFailsIsLoggedBeforeTheEvent) {
  BrandInfo brand(directory_);
  TestParams params(DistribParams::Map{{"setup_arc_permanent_lock", "1"}});
  TestInstaller installer(nullptr, &brand, &params);
  installer.hold_package_open = true;
  installer.ProceedWithInstallation();
  EXPECT_EQ(installer.InstallBrowser(), kOutcomeInstallerFailure);
  EXPECT_EQ(installer.GetResultCode(), kExitInstallerUndecided);
  const std::string line =
      "Cannot lock file: " + base::WideToUTF8(installer.package) + " - 32, ";
  int line_at = -1, event_at = -1, index = 0;
  for (const std::string& text : logger_->Texts()) {
    if (text.rfind(line, 0) == 0) line_at = index;
    if (text == "action=setup_arc_lock") event_at = index;
    ++index;
  }
  EXPECT_NE(line_at, -1) << "ERROR_SHARING_VIOLATION expected";
  EXPECT_NE(event_at, -1);
  EXPECT_LT(line_at, event_at);
}

// The download goes through the controller's own DownloadModule; the report
// carries the time GetModule took whether or not the download succeeded;
// the window hears the time left with the setup's four minutes, never
// wrapping round.
TEST_F(InstallerTest, DownloadTimeAndTimeLeft) {
  const struct {
    const char* name;
    bool fails;
    int time_left;
    int result_code;
    int heard;
  } kCases[] = {
      {"downloaded", false, 60, kExitSuccess, 300},
      {"download failed", true, std::numeric_limits<int>::max() - 100,
       kExitDownloadFailed, std::numeric_limits<int>::max()},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    BrandInfo brand(directory_);
    Configure(brand);
    RecordingDelegate delegate;
    TestInstaller installer(&delegate, &brand);
    installer.real_get_module = true;
    installer.first_attempt_ms = 1100;
    installer.download_fails = c.fails;
    installer.time_left = c.time_left;
    installer.InstallSilently();
    EXPECT_EQ(installer.GetResultCode(), c.result_code);
    EXPECT_EQ(installer.download_module_calls, 1);
    ASSERT_FALSE(delegate.times_left.empty());
    EXPECT_EQ(delegate.times_left[0], c.heard);
    ASSERT_EQ(installer.reports.size(), 1u);
    // Present only when not 0, so at least the first attempt's second.
    EXPECT_NE(installer.reports[0].find(L"&download_time="), std::wstring::npos)
        << installer.reports[0];
    EXPECT_TRUE(Files().empty());
  }
}

// The setup's command line as the controller fills it from the window's
// choices, the brand record, the distribution parameters and the data
// files it wrote, read back from what the setup received.
TEST_F(InstallerTest, SetupCommandLineFromTheControllersState) {
  const std::wstring record = directory_ + L"command_line.txt";
  ::SetEnvironmentVariableW(L"LITE_TEST_REPORT", record.c_str());
  BrandInfo brand(directory_);
  Configure(brand);
  TestParams params(DistribParams::Map{{"uts2", "1"}});
  RecordingDelegate delegate;
  delegate.window = reinterpret_cast<HWND>(0x1234);
  TestInstaller installer(&delegate, &brand, &params);
  installer.SetMakeDefaultBrowser(true);  // kept on Windows 7 and 10
  installer.SetSendStatistics(true);
  installer.SetCreateVessaShortcut(true);
  installer.SetDisableVessaLogic(true);
  installer.MarkInstallButtonPressed();
  installer.InstallSilently();
  ASSERT_EQ(installer.GetResultCode(), 0);

  std::string text;
  ASSERT_TRUE(base::ReadFileToString(record, &text));
  InstallerCommandLine setup = InstallerCommandLine::FromString(
      base::UTF8ToWide(text.substr(0, text.find('\n'))));
  EXPECT_EQ(setup.GetProgram(), installer.package);
  const std::wstring directory = directory_;
  const struct {
    const char* name;
    std::wstring value;
  } kPresent[] = {
      {"progress-window", L"4660"},
      {"verbose-logging", L""},
      {"brand-name", L"zarvex"},
      {"make-browser-default-after-import", L""},
      {"send-statistics", L""},
      {"create-vessa-shortcut-in-taskbar", L""},
      {"disable-vessa-logic-apply", L""},
      {"installerdata", directory + L"master_preferences"},
      {"clids-file", directory + L"clids.xml"},
      {"clids-searchband-file", directory + L"clids_searchband.xml"},
      {"zarvex-website-icon-file", directory + L"website.ico"},
      {"use-task-scheduler2", L""},
      {"source", L"lite"},
  };
  for (const auto& p : kPresent) {
    EXPECT_TRUE(setup.HasSwitch(p.name)) << p.name;
    EXPECT_EQ(setup.GetSwitchValue(p.name), p.value) << p.name;
  }
  // Monotonic clock readings in microseconds.
  for (const char* name :
       {"ok-button-pressed-time", "install-start-time-no-uac"}) {
    const std::string value = setup.GetSwitchValueASCII(name);
    EXPECT_FALSE(value.empty()) << name;
    EXPECT_EQ(value.find_first_not_of("0123456789"), std::string::npos)
        << name << "=" << value;
  }
  // Windows 7 asks no interface probe, no elevation was refused, and "uac"
  // is not 2.
  for (const char* name : {"the-interface-availability", "disable-uac",
                           "show-uac-at-browser-start", "brand-package",
                           "partner-package", "distr-info-file"}) {
    EXPECT_FALSE(setup.HasSwitch(name)) << name;
  }
}

// The elevation prompt through a stand-in for the shell: what is started,
// a refusal, and the setup's command line afterwards.
class PromptInstaller : public TestInstaller {
 public:
  using TestInstaller::TestInstaller;
  bool LaunchElevated(SHELLEXECUTEINFOW* info) override {
    verb = info->lpVerb;
    file = info->lpFile;
    parameters = info->lpParameters;
    mask = info->fMask;
    owner = info->hwnd;
    if (instance_on_failure) {
      info->hInstApp = reinterpret_cast<HINSTANCE>(
          static_cast<INT_PTR>(instance_on_failure));
      ::SetLastError(ERROR_CANCELLED);
      return false;
    }
    // The "copy" is exit_with.exe, which ends at once with code 0.
    STARTUPINFOW startup = {sizeof(startup)};
    PROCESS_INFORMATION process = {};
    std::wstring command_line = L"\"" + HelperPath() + L"\"";
    if (!::CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, FALSE,
                          DETACHED_PROCESS, nullptr, nullptr, &startup,
                          &process)) {
      return false;
    }
    ::CloseHandle(process.hThread);
    info->hProcess = process.hProcess;
    return true;
  }
  int instance_on_failure = 0;
  std::wstring verb, file, parameters;
  ULONG mask = 0;
  HWND owner = nullptr;
};

TEST_F(InstallerTest, ElevationPromptAndItsRefusal) {
  const std::wstring record = directory_ + L"command_line.txt";
  ::SetEnvironmentVariableW(L"LITE_TEST_REPORT", record.c_str());
  BrandInfo brand(directory_);
  Configure(brand);
  RecordingDelegate delegate;
  delegate.window = reinterpret_cast<HWND>(0x1234);
  InstallerInputs inputs = TestInputs(L"C:\\d\\lite_installer.exe --silent");
  inputs.executable_path = L"C:\\e\\lite_installer.exe";
  const struct {
    int instance;  // the shell's answer on failure; 0: the copy starts
    bool started, refused;
  } kCases[] = {{0, true, false},
                {SE_ERR_ACCESSDENIED, false, true},
                {SE_ERR_FNF, false, false}};
  for (const auto& c : kCases) {
    PromptInstaller installer(&delegate, &brand, nullptr, inputs);
    installer.instance_on_failure = c.instance;
    EXPECT_EQ(installer.StartThisProcessAsAdmin(), c.started) << c.instance;
    EXPECT_EQ(installer.has_elevated_process(), c.started);
    EXPECT_EQ(installer.elevation_refused(), c.refused);
    EXPECT_EQ(installer.verb, L"runas");
    EXPECT_EQ(installer.file, L"C:\\e\\lite_installer.exe");
    EXPECT_EQ(installer.mask, static_cast<ULONG>(SEE_MASK_NOCLOSEPROCESS));
    EXPECT_NE(installer.owner, nullptr);
    // The copy's command line: the own switches (the program left out, so
    // it begins with a blank) and the three of the handshake.
    InstallerCommandLine copy =
        InstallerCommandLine::FromString(L"x" + installer.parameters);
    EXPECT_EQ(installer.parameters.substr(0, 1), L" ");
    EXPECT_TRUE(copy.HasSwitch("silent"));
    EXPECT_TRUE(copy.HasSwitch("run-as-admin"));
    EXPECT_EQ(copy.GetSwitchValueASCII("parent-installer-process-id"),
              std::to_string(::GetCurrentProcessId()));
    InstallerCommandLine setup =
        InstallerCommandLine::FromString(copy.GetSwitchValue("setup-cmd-line"));
    EXPECT_EQ(setup.GetProgram(), L"fake_browser_arc");
    EXPECT_EQ(setup.GetSwitchValue("progress-window"), L"4660");
    EXPECT_FALSE(setup.HasSwitch("installerdata"));  // no data files yet
    if (!c.started) {
      // The setup then runs here, told that the user refused.
      ::DeleteFileW(record.c_str());
      installer.InstallSilently();
      std::string text;
      ASSERT_TRUE(base::ReadFileToString(record, &text));
      EXPECT_EQ(text.find("--disable-uac") != std::string::npos, c.refused)
          << text;
    }
  }
}

// With an elevated copy the setup's run is handed over: the delayed
// parameters block holds what the setup needs, and the copy's exit code
// decides.
TEST_F(InstallerTest, TheElevatedCopyRunsTheSetup) {
  BrandInfo brand(directory_);
  Configure(brand);
  RecordingDelegate delegate;
  for (int copy_exit_code : {0, 9}) {
    ::SetEnvironmentVariableW(L"LITE_TEST_EXIT_CODE",
                              std::to_wstring(copy_exit_code).c_str());
    PromptInstaller installer(&delegate, &brand);
    installer.SetSendStatistics(true);
    ASSERT_TRUE(installer.StartThisProcessAsAdmin());
    installer.InstallSilently();
    EXPECT_EQ(installer.has_elevated_process(), false);  // gone after the run
    const DelayedParams block =
        ReadDelayedParamsBlock(SharedDelayedParamsBlock());
    EXPECT_EQ(block.browser_arc_path, installer.package);
    EXPECT_EQ(block.installer_data_path, directory_ + L"master_preferences");
    EXPECT_TRUE(block.send_statistics);
    EXPECT_FALSE(block.make_default);
    EXPECT_FALSE(block.install_start_time.empty());
    EXPECT_EQ(block.install_start_time.find_first_not_of(L"0123456789"),
              std::wstring::npos);
    EXPECT_TRUE(logger_->Has("The elevated installer has finished, success=" +
                             std::to_string(copy_exit_code == 0 ? 1 : 0)));
    EXPECT_EQ(delegate.launched, 0);  // the copy reports the setup's start
    ::SetEnvironmentVariableW(L"LITE_TEST_EXIT_CODE", nullptr);
  }
}

TEST_F(InstallerTest, SetupForAnotherMachine) {
  BrandInfo brand(directory_);
  RecordingDelegate delegate;
  TestInstaller installer(&delegate, &brand);
  installer.foreign_machine = true;
  installer.InstallSilently();
  EXPECT_EQ(installer.GetResultCode(), kExitInstallerUndecided);
  EXPECT_EQ(delegate.launched, 0);
  ASSERT_EQ(delegate.outcomes.size(), 1u);
  if (!logger_->Has("Create process failed. - 216,")) {
    GTEST_SKIP() << "Wine refuses a foreign machine type with "
                    "ERROR_BAD_EXE_FORMAT (193) instead of "
                    "ERROR_EXE_MACHINE_TYPE_MISMATCH (216); the mapping "
                    "of 216 is tested in setup_exit_codes_unittest, what "
                    "the window hears of it in OutcomeOfTheInstallation";
  }
  EXPECT_EQ(GetSetupFailureReason(), kSetupFailureMachineTypeMismatch);
  EXPECT_EQ(delegate.outcomes, std::vector<int>{kOutcomeMachineTypeMismatch});
}

TEST_F(InstallerTest, StopWhileWaitingForConfirmation) {
  BrandInfo brand(directory_);
  TestInstaller installer(nullptr, &brand);
  installer.StartInstallAsync();
  // The install thread downloads, then waits for the user.
  EXPECT_TRUE(installer.WaitForInstallAsync());
  EXPECT_TRUE(
      logger_->Has("Installation after download event isn't in signal state or "
                   "installation was stopped early."));
  EXPECT_EQ(installer.GetResultCode(), kExitInstallerUndecided);
  EXPECT_TRUE(Files().empty());
}

}  // namespace
}  // namespace lite
