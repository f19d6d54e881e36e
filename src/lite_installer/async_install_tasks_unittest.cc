#include "lite_installer/async_install_tasks.h"

#include <windows.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/file_util.h"
#include "base/scoped_handle.h"
#include "gtest/gtest.h"
#include "lite_installer/brand/brand_info.h"
#include "lite_installer/brand/distrib_params.h"
#include "lite_installer/variations_file.h"
#include "lite_util/internet_downloader.h"
#include "test/support/recording_logger.h"
#include "test/support/test_distrib_params.h"

namespace lite {
namespace {

constexpr DWORD kTaskTimeoutMs = 20000;

// What the scripted network answers for one URL.
struct Answer {
  std::string body;
  std::map<std::string, std::string> headers;
  std::string error;  // not empty: the download fails with this text
};

// Answers every download from a table; URLs without an answer fail as an
// unreachable host would. Optionally holds the first download until its
// cancel event is set.
class ScriptedNetwork : public InternetDownloader {
 public:
  ScriptedNetwork() : started_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    SetReplacement(this);
  }
  ~ScriptedNetwork() override { SetReplacement(nullptr); }

  void SetAnswer(const std::string& url, struct Answer answer) {
    answers_[url] = std::move(answer);
  }
  void HoldFirstDownloadUntilCancelled() { hold_ = true; }
  HANDLE started() const { return started_.Get(); }
  std::vector<std::string> requested() {
    std::lock_guard<std::mutex> lock(mutex_);
    return requested_;
  }

  bool DownloadToString(const std::string& url, HANDLE cancel_event,
                        std::string* body) override {
    const struct Answer* answer = Begin(url, cancel_event);
    if (!answer) return false;
    *body = answer->body;
    return true;
  }
  bool DownloadToFile(const std::string& url, const std::wstring& target,
                      HANDLE cancel_event) override {
    const struct Answer* answer = Begin(url, cancel_event);
    return answer && base::WriteBytesToFile(target, answer->body);
  }
  std::string GetResponseHeader(const std::string& name) override {
    auto it = headers_.find(name);
    return it == headers_.end() ? std::string() : it->second;
  }

 private:
  const struct Answer* Begin(const std::string& url, HANDLE cancel_event) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      requested_.push_back(url);
    }
    headers_.clear();
    ::SetEvent(started_.Get());
    if (hold_) {
      hold_ = false;
      ::WaitForSingleObject(cancel_event, kTaskTimeoutMs);
      set_error_text("cancelled");
      return nullptr;
    }
    auto it = answers_.find(url);
    if (it == answers_.end()) {
      set_error_text("internet_open_url-12029");
      return nullptr;
    }
    if (!it->second.error.empty()) {
      set_error_text(it->second.error);
      return nullptr;
    }
    set_error_text("");
    headers_ = it->second.headers;
    return &it->second;
  }

  base::ScopedHandle started_;
  bool hold_ = false;
  std::map<std::string, struct Answer> answers_;
  std::map<std::string, std::string> headers_;
  std::mutex mutex_;
  std::vector<std::string> requested_;
};

constexpr char kConfigHost[] = "https://config.test";

class AsyncInstallTasksTest : public testing::Test {
 protected:
  void SetUp() override {
    logger_ = RecordingLogger::Install();
    directory_ = base::CreateUniqueDirectory(base::GetTempDirectory());
    ASSERT_FALSE(directory_.empty());
    options_.directory = directory_;
    options_.server_config_host = kConfigHost;
  }
  void TearDown() override {
    base::DeleteDirectoryRecursive(directory_);
    SetLogger(nullptr);
  }

  // A brand with its service URLs; `wallpapers` may be empty.
  std::unique_ptr<BrandInfo> Brand(
      const std::string& wallpapers,
      const std::string& ids = R"("brand_id": "b", "partner_id": "p")") {
    auto brand = std::make_unique<BrandInfo>(directory_ + L"\\");
    brand->ReadConfig("{" + ids +
                      R"(, "urls": {"variations": "https://v.test/seed",
                                    "abt": "https://e.test/ab"},
                         "install": {"preloaded_wallpapers_url": ")" +
                      wallpapers + "\"}}");
    return brand;
  }
  std::string VariationsUrl(const BrandInfo& brand) {
    return brand.AppendServiceQuery("https://v.test/seed");
  }
  std::string ExperimentsUrl(const BrandInfo& brand) {
    return brand.AppendServiceQuery("https://e.test/ab");
  }
  static std::string Read(const std::wstring& path) {
    std::string bytes;
    return base::ReadFileToString(path, &bytes) ? bytes : "<none>";
  }

  RecordingLogger* logger_ = nullptr;
  std::wstring directory_;
  AsyncInstallTasks::Options options_;
  ScriptedNetwork network_;
};

TEST(BackgroundTaskPlanTest, Table) {
  const struct {
    DistribParams::Map params;
    bool variations, experiments, webntp, server_config, wallpapers;
  } kCases[] = {
      {{}, true, true, false, false, false},
      {{{"vup", "0"}}, false, true, false, false, false},
      {{{"vup", "1"}, {"abtup", "2"}}, true, false, false, false, false},
      {{{"vup", ""}, {"abtup", "1 "}}, false, false, false, false, false},
      {{{"webntp", "1"}, {"scup", "1"}}, true, true, true, true, false},
      {{{"webntp", "true"}, {"scup", "01"}}, true, true, false, false, false},
      {{{"pwexp", "0"}}, true, true, false, false, true},
      {{{"pwexp", ""}}, true, true, false, false, false},
  };
  for (const auto& c : kCases) {
    TestParams params(c.params);
    BackgroundTaskPlan plan = PlanBackgroundTasks(params);
    std::string name;
    for (const auto& [key, value] : c.params) name += key + "=" + value + " ";
    SCOPED_TRACE(name);
    EXPECT_EQ(plan.variations, c.variations);
    EXPECT_EQ(plan.experiments, c.experiments);
    EXPECT_EQ(plan.webntp, c.webntp);
    EXPECT_EQ(plan.server_config, c.server_config);
    EXPECT_EQ(plan.wallpapers, c.wallpapers);
  }
}

TEST(ServerConfigBundleUrlTest, QueryHasOnlyTheIdsThatExist) {
  EXPECT_EQ(ServerConfigBundleUrl("https://h:1", "b 1", "p&2"),
            "https://h:1/configs/all_zip?brandID=b 1&partnerID=p&2");
  EXPECT_EQ(ServerConfigBundleUrl("https://h", "b", ""),
            "https://h/configs/all_zip?brandID=b");
  EXPECT_EQ(ServerConfigBundleUrl("https://h", "", "p"),
            "https://h/configs/all_zip?partnerID=p");
  EXPECT_EQ(ServerConfigBundleUrl("https://h", "", ""),
            "https://h/configs/all_zip");
}

// Which paths are reserved and which URLs are fetched, in order, for each
// distribution.
TEST_F(AsyncInstallTasksTest, TaskTable) {
  enum Url { kVariations, kExperiments, kConfig, kWallpapers };
  const struct {
    const char* name;
    DistribParams::Map params;
    std::string wallpapers_url;
    std::string ids;
    std::vector<std::string> paths;  // switches that get a path
    std::vector<Url> urls;
  } kCases[] = {
      {"no parameters",
       {},
       "https://w.test/pack?e=",
       "\"brand_id\": \"b\"",
       {"variations", "abt"},
       {kVariations, kExperiments}},
      {"vup off",
       {{"vup", "0"}},
       "",
       "\"brand_id\": \"b\"",
       {"abt"},
       {kExperiments}},
      {"webntp only reserves",
       {{"vup", "0"}, {"abtup", "0"}, {"webntp", "1"}},
       "",
       "\"brand_id\": \"b\"",
       {"webntp"},
       {}},
      {"every row",
       {{"webntp", "1"}, {"scup", "1"}, {"pwexp", "x7"}},
       "https://w.test/pack?e=",
       "\"brand_id\": \"b\", \"partner_id\": \"p\"",
       {"variations", "abt", "webntp", "config", "wallpapers"},
       {kVariations, kExperiments, kConfig, kWallpapers}},
      {"pwexp without a wallpapers URL, no ids",
       {{"vup", "0"}, {"abtup", "0"}, {"scup", "1"}, {"pwexp", "x7"}},
       "",
       "\"brand_id\": \"\"",
       {"config", "wallpapers"},
       {kConfig}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<BrandInfo> brand = Brand(c.wallpapers_url, c.ids);
    const std::string urls[] = {
        VariationsUrl(*brand), ExperimentsUrl(*brand),
        ServerConfigBundleUrl(kConfigHost, brand->brand_id(),
                              brand->partner_id()),
        c.wallpapers_url + "x7"};
    const size_t before = network_.requested().size();
    TestParams params(c.params);
    BackgroundTaskPaths paths;
    {
      AsyncInstallTasks tasks(*brand, params, options_);
      ASSERT_TRUE(tasks.WaitForTasks(kTaskTimeoutMs));
      EXPECT_EQ(tasks.has_worker(), !c.urls.empty());
      paths = tasks.paths();
    }
    const std::pair<const char*, std::wstring> reserved[] = {
        {"variations", paths.variations_update},
        {"abt", paths.abt_update},
        {"webntp", paths.webntp},
        {"config", paths.server_config_bundle},
        {"wallpapers", paths.preloaded_wallpaper_bundle}};
    std::vector<std::string> named;
    for (const auto& [name, path] : reserved) {
      if (path.empty()) continue;
      named.push_back(name);
      EXPECT_EQ(path.rfind(directory_ + L"\\", 0), 0u);
      EXPECT_FALSE(base::FileExists(path)) << name;  // nothing was answered
    }
    EXPECT_EQ(named, c.paths);
    std::vector<std::string> expected;
    for (Url url : c.urls) expected.push_back(urls[url]);
    const std::vector<std::string> all = network_.requested();
    EXPECT_EQ(std::vector<std::string>(all.begin() + before, all.end()),
              expected);
  }
  // The configuration host comes from the build.
  EXPECT_EQ(AsyncInstallTasks::Options().server_config_host,
            std::string(kServerConfigHost));
}

TEST_F(AsyncInstallTasksTest, ResultsAreSavedAndThreeDeletedAtTheEnd) {
  std::unique_ptr<BrandInfo> brand = Brand("https://w.test/pack/");
  network_.SetAnswer(VariationsUrl(*brand),
                     {"seed\x01",
                      {{"X-Seed-Signature", "sig=="},
                       {"Last-Modified", "Mon, 07 Dec 2026 08:00:00 GMT"},
                       {"X-Country", "nl"}}});
  network_.SetAnswer(ExperimentsUrl(*brand),
                     {"{\"ab\":1}", {{"X-Seed-Signature", "abt-sig"}}});
  network_.SetAnswer(ServerConfigBundleUrl(kConfigHost, "b", "p"),
                     {"PK-config"});
  network_.SetAnswer("https://w.test/pack/spring", {"PK-wallpapers"});
  TestParams params(DistribParams::Map{{"scup", "1"}, {"pwexp", "spring"}});

  BackgroundTaskPaths paths;
  {
    AsyncInstallTasks tasks(*brand, params, options_);
    ASSERT_TRUE(tasks.WaitForTasks(kTaskTimeoutMs));
    paths = tasks.paths();
    EXPECT_EQ(Read(paths.variations_update),
              "{\"variations_seed_base64\": \"c2VlZAE=\", "
              "\"variations_seed_signature\": \"sig==\", "
              "\"variations_last_modified_time\": "
              "\"Mon, 07 Dec 2026 08:00:00 GMT\", "
              "\"variations_country\": \"nl\"}");
    VariationsResponse experiments{"{\"ab\":1}", "abt-sig", "", ""};
    EXPECT_EQ(Read(paths.abt_update), FormatVariationsJson(experiments));
    EXPECT_EQ(Read(paths.server_config_bundle), "PK-config");
    EXPECT_EQ(Read(paths.preloaded_wallpaper_bundle), "PK-wallpapers");
    EXPECT_TRUE(logger_->Has("Variations are saved in "));
  }
  EXPECT_FALSE(base::FileExists(paths.variations_update));
  EXPECT_FALSE(base::FileExists(paths.abt_update));
  EXPECT_FALSE(base::FileExists(paths.server_config_bundle));
  EXPECT_TRUE(base::FileExists(paths.preloaded_wallpaper_bundle));
}

TEST_F(AsyncInstallTasksTest, AFailingTaskChangesNothingElse) {
  std::unique_ptr<BrandInfo> brand = Brand("https://w.test/");
  network_.SetAnswer(VariationsUrl(*brand), {"", {}, "internet_read-12002"});
  // An answer without the signature header is not saved.
  network_.SetAnswer(ExperimentsUrl(*brand),
                     {"ab", {{"Last-Modified", "yesterday"}}});
  network_.SetAnswer(ServerConfigBundleUrl(kConfigHost, "b", "p"), {"PK"});
  TestParams params(DistribParams::Map{
      {"scup", "1"}, {"pwexp", "gone"}});  // wallpapers: 12029

  AsyncInstallTasks tasks(*brand, params, options_);
  ASSERT_TRUE(tasks.WaitForTasks(kTaskTimeoutMs));
  const BackgroundTaskPaths& paths = tasks.paths();
  EXPECT_FALSE(paths.variations_update.empty());
  EXPECT_FALSE(base::FileExists(paths.variations_update));
  EXPECT_FALSE(paths.abt_update.empty());
  EXPECT_FALSE(base::FileExists(paths.abt_update));
  EXPECT_EQ(Read(paths.server_config_bundle), "PK");
  EXPECT_FALSE(paths.preloaded_wallpaper_bundle.empty());
  EXPECT_FALSE(base::FileExists(paths.preloaded_wallpaper_bundle));
  EXPECT_EQ(network_.requested().size(), 4u);

  std::vector<std::string> errors;
  for (const LogRecord& record : logger_->Records()) {
    if (record.severity != LOG_ERROR) continue;
    EXPECT_STREQ(record.function, "DownloadAndSaveVariations");
    errors.push_back(record.text);
  }
  // The bundle tasks report elsewhere, not in the installer's log.
  EXPECT_EQ(errors, (std::vector<std::string>{
                        "Failed to download variations seed: "
                        "internet_read-12002",
                        "Failed to get variations seed signature"}));
}

TEST_F(AsyncInstallTasksTest, DestructionStopsTheCurrentTaskAndSkipsTheRest) {
  std::unique_ptr<BrandInfo> brand = Brand("https://w.test/");
  network_.HoldFirstDownloadUntilCancelled();
  network_.SetAnswer(ExperimentsUrl(*brand),
                     {"ab", {{"X-Seed-Signature", "s"}}});
  TestParams params(DistribParams::Map{{"scup", "1"}});
  BackgroundTaskPaths paths;
  {
    AsyncInstallTasks tasks(*brand, params, options_);
    paths = tasks.paths();
    ASSERT_EQ(::WaitForSingleObject(network_.started(), kTaskTimeoutMs),
              WAIT_OBJECT_0);
    EXPECT_FALSE(tasks.WaitForTasks(50));  // held, not finished
  }
  EXPECT_EQ(network_.requested(),
            (std::vector<std::string>{VariationsUrl(*brand)}));
  EXPECT_TRUE(logger_->Has("Failed to download variations seed: cancelled"));
  EXPECT_FALSE(base::FileExists(paths.abt_update));
  EXPECT_FALSE(base::FileExists(paths.server_config_bundle));
}

TEST_F(AsyncInstallTasksTest, UnwritableDirectoryLeavesPathsEmpty) {
  options_.directory = directory_ + L"\\missing";
  std::unique_ptr<BrandInfo> brand = Brand("");
  TestParams params(DistribParams::Map{{"webntp", "1"}});
  AsyncInstallTasks tasks(*brand, params, options_);
  EXPECT_FALSE(tasks.has_worker());
  EXPECT_TRUE(tasks.paths().variations_update.empty());
  EXPECT_TRUE(tasks.paths().abt_update.empty());
  EXPECT_TRUE(tasks.paths().webntp.empty());
  EXPECT_TRUE(network_.requested().empty());
}

}  // namespace
}  // namespace lite
