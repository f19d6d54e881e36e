#include "lite_util/install_stat_sender.h"

#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

#include "base/scoped_handle.h"
#include "base/string_util.h"
#include "base/worker_thread.h"
#include "gtest/gtest.h"
#include "lite_installer/installer_events.h"
#include "lite_util/installer_registry.h"
#include "lite_util/statistics_reporter.h"
#include "lite_util/url_escape.h"
#include "lite_util/user_id.h"

namespace lite {
namespace {

constexpr char kPrefix[] =
    "https://localhost:18446/installstats/send/dtype=stred/pid=457";

std::wstring Identity(const std::wstring& text) { return text; }

class InstallStatSenderTest : public testing::Test {
 protected:
  void SetUp() override {
    for (const wchar_t* name :
         {L"zpv", L"pv", L"install_stat", L"InstallerSuccessLaunchCmdLine"}) {
      RemoveInstallerValue(name);
    }
  }
  void TearDown() override { SetUp(); }
};

TEST_F(InstallStatSenderTest, UrlLayoutAndStandingParameters) {
  StoreInstallerValue(L"pv", L"1.2.3.4");
  InstallStatSender sender(0, 0, L"", {}, 0);
  sender.SetParam("brand_id", L"zarvex");
  std::string url = sender.GetQueryUrl(
      {{"action", L"download"}, {"brand_id", L"evil"}, {"odd", L"a-b,c=d"}});
  std::string uid = GetUserId();
  for (char& c : uid) {
    if (c == '-') c = '_';
  }
  EXPECT_EQ(url, std::string(kPrefix) +
                     "/cid=72992/path=extended_stat/vars="
                     "-action=download,-brand_id=zarvex,-installer_type=lite,"
                     "-launched=false,-lite_ver=0.0.0.0,-odd=a_b_c_d,"
                     "-old_style=0,-old_ver=1.2.3.4,-ui=" +
                     uid + "/*");
}

TEST_F(InstallStatSenderTest, TypesTargetsAndPaths) {
  const struct {
    int install_type;
    int installer_type;
    int path_number;
    const char* expected_part;  // a piece the URL must contain
  } kCases[] = {
      {0, 0, 0, "/cid=72992/path=extended_stat/"},
      {0, 0, 1, "/cid=72696/path=zvbrowser_reinstall_dialog/"},
      {0, 0, 2, "/cid=72696/path=zvbrowser_pf_migration/"},
      {0, 0, 3, "/cid=72924/path=zombo_window/"},
      {1, 0, 0, "-target=mini,"},
      {0, 3, 0, "-installer_type=service,"},
      {0, 42, 0, "-installer_type=lite,"},
      {4, -1, 0, "-installer_type=icu_dat,"},
      {4, -1, 0, "-old_style=1,"},
      {0, 2, 0, ",-ver=0.0.0.0"},
      {0, 0, 0, "-brand_id=unknown,"},
  };
  for (const auto& c : kCases) {
    InstallStatSender sender(c.install_type, c.installer_type, L"", {},
                             c.path_number);
    std::string url = sender.GetQueryUrl({});
    EXPECT_NE(url.find(c.expected_part), std::string::npos)
        << c.expected_part << " in " << url;
  }
}

TEST_F(InstallStatSenderTest, PersistedParametersAndLaunchedEvent) {
  StatEvent params = {{"brand_id", L"b"}, {"old_ver", L"9.9"}};
  std::wstring persisted = FormatStatParams(params);
  EXPECT_EQ(persisted, L"brand_id\nb\nold_ver\n9.9\n");
  StatEvent parsed;
  ParseStatParams(L"a\n1\nb\n\nodd", &parsed);
  EXPECT_EQ(parsed, (StatEvent{{"a", L"1"}, {"b", L""}}));

  // A later installer continues with the saved parameters; old_ver from the
  // saved set wins over the registry.
  StoreInstallerValue(L"zpv", L"1.0");
  base::ScopedHandle event(::CreateEventW(
      nullptr, TRUE, FALSE, L"Global\\c:!program files!setup.exe"));
  StoreInstallerValue(L"InstallerSuccessLaunchCmdLine",
                      L"\"C:\\Program Files\\Setup.exe\"");
  {
    InstallStatSender sender(0, 0, persisted, {}, 0);
    EXPECT_EQ(sender.GetParam("brand_id"), L"b");
    EXPECT_EQ(sender.GetParam("old_ver"), L"9.9");
    EXPECT_EQ(sender.GetParam("launched"), L"true");
    StoreInstallerValue(L"install_stat", persisted);
  }
  // Its destruction removes the saved set.
  EXPECT_EQ(ReadInstallerValue(L"install_stat"), L"");
  event.Reset();
  InstallStatSender later(0, 0, L"", {}, 0);
  EXPECT_EQ(later.GetParam("launched"), L"false");
  EXPECT_EQ(later.GetParam("old_ver"), L"1.0");
}

// A reporter that keeps the URLs it would send.
class RecordingReporter : public StatisticsReporter {
 public:
  RecordingReporter() : StatisticsReporter(0, L"") {}
  std::vector<std::string> urls() {
    std::lock_guard<std::mutex> lock(mutex_);
    return urls_;
  }

 protected:
  bool QueueUrl(const std::string& url) override {
    std::lock_guard<std::mutex> lock(mutex_);
    urls_.push_back(url);
    return true;
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> urls_;
};

constexpr int kEventsPerThread = 400;

struct SenderThread {
  RecordingReporter* reporter;
  HANDLE start;
  bool dialog;  // the window's dialog events, else the install thread's
};

void SendEvents(const SenderThread* thread) {
  ::WaitForSingleObject(thread->start, 10000);
  for (int i = 0; i < kEventsPerThread; ++i) {
    if (thread->dialog) {
      thread->reporter->SendDialogEvent(DialogButtonEvent(L"cancel"));
    } else {
      thread->reporter->SetParam(kStatNewVersion, L"1.0." + std::to_wstring(i));
      thread->reporter->Send({{"action", L"download"}});
    }
  }
}

// The window sends dialog events on its thread while the install thread
// sends its own and sets parameters: every URL goes to its own path and
// carries its own fields.
TEST_F(InstallStatSenderTest, ReporterTakesEventsFromTwoThreadsAtOnce) {
  RecordingReporter reporter;
  base::ScopedHandle start(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  ASSERT_TRUE(start.IsValid());
  SenderThread contexts[] = {{&reporter, start.Get(), true},
                             {&reporter, start.Get(), false}};
  base::WorkerThread threads[2];
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(threads[i].Start([&contexts, i] { SendEvents(&contexts[i]); }));
  }
  ::SetEvent(start.Get());
  const HANDLE handles[] = {threads[0].thread_handle(),
                            threads[1].thread_handle()};
  EXPECT_EQ(::WaitForMultipleObjects(2, handles, TRUE, 60000),
            static_cast<DWORD>(WAIT_OBJECT_0));

  int dialog = 0, ordinary = 0;
  std::vector<std::string> wrong;
  for (const std::string& url : reporter.urls()) {
    const bool is_dialog =
        url.find("-clicked_button=cancel") != std::string::npos;
    (is_dialog ? dialog : ordinary)++;
    const bool right =
        is_dialog
            ? url.find("/cid=72696/path=zvbrowser_reinstall_dialog/") !=
                      std::string::npos &&
                  url.find("-action=") == std::string::npos
            : url.find("/cid=72992/path=extended_stat/") != std::string::npos &&
                  url.find("-action=download,") != std::string::npos &&
                  url.find("-new_ver=1.0.") != std::string::npos;
    if (!right) wrong.push_back(url);
  }
  EXPECT_EQ(wrong.size(), 0u)
      << "the first: " << (wrong.empty() ? "" : wrong[0]);
  EXPECT_EQ(dialog, kEventsPerThread);
  EXPECT_EQ(ordinary, kEventsPerThread);
}

TEST(StatVarsTest, ReplacesSeparatorsThenEscapes) {
  StatEvent params = {{"a-b", L"x=1,y"}, {"c", L""}};
  EXPECT_EQ(BuildStatVars(params, Identity), L"-a_b=x_1_y,-c=");
  EXPECT_EQ(BuildStatVars({}, Identity), L"");
}

TEST(InstallerEventsTest, DownloadAttemptFields) {
  DownloadAttempt attempt;
  attempt.error = "internet_read-12002";
  attempt.attempt_number = 2;
  attempt.downloaded_size = 10;
  attempt.url = "https://h/a b?x=1";
  attempt.redirect_target = L"https://mirror.example:8443/path?q";
  attempt.flavour = BuildFlavour::kX64;
  EXPECT_EQ(
      DownloadAttemptEvent(attempt),
      (StatEvent{{"action", L"download_attempt"},
                 {"status", L"failed"},
                 {"error", L"internet_read-12002"},
                 {"attempt_number", L"2"},
                 {"downloaded_size", L"10"},
                 {"total_size", L"0"},
                 {"url", L"https%253A%252F%252Fh%252Fa%2520b%253Fx%253D1"},
                 {"redirect", L"mirror.example"},
                 {"x64", L"1"}}));
  EXPECT_EQ(DownloadErrorEvent(2, "internet_read-12002").at("error"),
            L"attempt-2-internet_read-12002");

  DownloadAttempt success;
  success.succeeded = true;
  StatEvent event = DownloadAttemptEvent(success);
  EXPECT_EQ(event.count("error") + event.count("url") +
                event.count("redirect") + event.count("x64"),
            0u);
  EXPECT_EQ(RedirectHost(L"not a url"), L"");
}

TEST(InstallerEventsTest, SetupAndDialogEvents) {
  EXPECT_EQ(SetupLaunchedEvent(false, L"100"),
            (StatEvent{{"action", L"setup"},
                       {"stage", L"setup_exe_launched"},
                       {"uac", L"100"}}));
  EXPECT_EQ(SetupExitedEvent(true, L"", 2999999),
            (StatEvent{{"action", L"update"},
                       {"stage", L"setup_exe_exited"},
                       {"setup_time", L"2"}}));
  // The error field of a setup run in this process: "FailedToStart" only
  // when there was no process; a started setup whose exit code could not be
  // read still reports the result code (400).
  const struct {
    bool started;
    int result_code;
    const wchar_t* error;
  } kExited[] = {
      {false, 400, L"FailedToStart"},
      {true, 400, L"400"},
      {true, 0, L"0"},
      {true, 7, L"7"},
      {true, 1, L""},
      {true, 3, L""},
      {true, 5, L""},
      {true, -1, L"-1"},
  };
  for (const auto& c : kExited) {
    EXPECT_EQ(SetupExitedError(c.started, c.result_code), c.error)
        << c.started << " " << c.result_code;
  }
  EXPECT_EQ(InstallerStartedEvent(125, 1280, 1024).at("resolution"),
            L"1280x1024");
  EXPECT_EQ(DialogCheckboxEvent(L"sendstat"),
            (StatEvent{{"choosen_checkbox", L"sendstat"},
                       {"dialog_window", L"liteinstall"}}));
}

}  // namespace
}  // namespace lite
