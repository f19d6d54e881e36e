#include "lite_installer/module_download.h"

#include <windows.h>

#include <deque>
#include <string>
#include <vector>

#include "base/file_util.h"
#include "base/scoped_handle.h"
#include "gtest/gtest.h"
#include "lite_installer/brand/brand_info.h"
#include "lite_installer/download_loop.h"
#include "lite_installer/installer_command_line.h"
#include "lite_util/installer_registry.h"
#include "lite_util/internet_downloader.h"
#include "test/support/recording_logger.h"

namespace lite {
namespace {

// What one scripted attempt does: bytes it adds to the sink, the announced
// length, its outcome.
struct Attempt {
  uint32_t bytes;
  uint32_t length;
  bool succeeds;
  std::string error;
  uint32_t exception = 0;
  std::string dll;
  std::string procedure;
};

// The package download with scripted attempts, through the hooks of its
// context.
class ScriptedDownloader {
 public:
  ScriptedDownloader(ModuleDownloadContext context, std::deque<Attempt> script)
      : context_(std::move(context)), script_(std::move(script)) {
    context_.run_download_loop =
        [this](const std::wstring& url, DownloadSink* sink,
               DownloadProgressObserver*, DownloadLoopResult* result) {
          return RunLoop(url, sink, result);
        };
    context_.pause_between_attempts_ms = [this] {
      ++pauses;
      if (cancel_in_pause) ::SetEvent(cancel_in_pause);
      return DWORD{5};
    };
  }

  ModuleResult DownloadModule(HANDLE file,
                              const InstallerCommandLine& command_line) {
    return lite::DownloadModule(context_, file, command_line);
  }

  std::vector<std::wstring> urls_tried;
  std::vector<uint32_t> count_before;
  HANDLE cancel_in_pause = nullptr;
  int pauses = 0;

 private:
  bool RunLoop(const std::wstring& url, DownloadSink* sink,
               DownloadLoopResult* result) {
    urls_tried.push_back(url);
    count_before.push_back(sink->count());
    Attempt attempt =
        script_.empty() ? Attempt{0, 0, false, "x"} : script_.front();
    if (!script_.empty()) script_.pop_front();
    std::string bytes(attempt.bytes, 'p');
    sink->Write(bytes.data(), attempt.bytes);
    result->content_length = attempt.length;
    result->error_text = attempt.error;
    result->exception.code = attempt.exception;
    result->exception.dll_name = attempt.dll;
    result->exception.procedure_name = attempt.procedure;
    return attempt.succeeds;
  }

  ModuleDownloadContext context_;
  std::deque<Attempt> script_;
};

class RecordingSink : public StatEventSink {
 public:
  bool Send(const StatEvent& event) override {
    events.push_back(event);
    return true;
  }
  std::vector<std::string> Summary() const {
    std::vector<std::string> lines;
    for (const StatEvent& e : events) {
      std::wstring line = e.at("action");
      for (const char* field :
           {"stage", "status", "attempt_number", "downloaded_size", "error"}) {
        if (e.count(field)) line += L" " + e.at(field);
      }
      lines.push_back(std::string(line.begin(), line.end()));
    }
    return lines;
  }
  std::vector<StatEvent> events;
};

class ModuleDownloadTest : public testing::Test {
 protected:
  void SetUp() override {
    logger_ = RecordingLogger::Install();
    path_ = base::CreateTempFileIn(base::GetTempDirectory(), L"md");
    ASSERT_FALSE(path_.empty());
    file_.Reset(::CreateFileW(path_.c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                              nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(file_.IsValid());
    cancel_.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    RemoveInstallerValue(L"try_x64");
  }
  void TearDown() override {
    file_.Reset();
    if (!path_.empty()) ::DeleteFileW(path_.c_str());
    cancel_.Reset();
    RemoveInstallerValue(L"try_x64");
    SetLogger(nullptr);
  }
  ModuleDownloadContext Context(const BrandInfo* brand) {
    ModuleDownloadContext context;
    context.cancel_event = cancel_.Get();
    context.brand_info = brand;
    context.windows_version = kWindows7;
    context.statistics = &events_;
    context.user_cancel_count = &user_cancel_;
    return context;
  }
  uint32_t FileSize() { return ::GetFileSize(file_.Get(), nullptr); }

  RecordingLogger* logger_ = nullptr;
  std::wstring path_;
  base::ScopedFile file_;
  base::ScopedHandle cancel_;
  RecordingSink events_;
  std::atomic<int> user_cancel_{0};
};

TEST(AttemptPlanTest, SixForOneUrlElseThreeEach) {
  EXPECT_EQ(PlanAttempts(1).total, 6);
  EXPECT_EQ(PlanAttempts(1).per_url, 6);
  EXPECT_EQ(PlanAttempts(2).total, 6);
  EXPECT_EQ(PlanAttempts(2).per_url, 3);
  EXPECT_EQ(PlanAttempts(3).total, 9);
}

TEST_F(ModuleDownloadTest, OneUrlKeepsATenthAndMoreForResumption) {
  BrandInfo brand(L"C:\\t\\");
  brand.ReadConfig(R"({"setup_url": "u"})");
  ScriptedDownloader downloader(
      Context(&brand),
      {{9, 100, false, "internet_read-12002"},   // below a tenth: dropped
       {10, 100, false, "internet_read-12002"},  // a tenth: kept
       {90, 100, true, ""}});
  EXPECT_EQ(downloader.DownloadModule(
                file_.Get(), InstallerCommandLine::FromString(L"i.exe")),
            kModuleReady);
  EXPECT_EQ(downloader.count_before, (std::vector<uint32_t>{0, 0, 10}));
  EXPECT_EQ(FileSize(), 100u);
  EXPECT_EQ(downloader.pauses, 2);
  EXPECT_EQ(
      events_.Summary(),
      (std::vector<std::string>{
          "download started", "download error attempt-1-internet_read-12002",
          "download_attempt failed 1 9 internet_read-12002",
          "download error attempt-2-internet_read-12002",
          "download_attempt failed 2 10 internet_read-12002",
          "download_attempt success 3 100"}));
}

TEST_F(ModuleDownloadTest, TwoUrlsThreeAttemptsEachAndTheOutcomeIsStored) {
  BrandInfo brand(L"C:\\t\\");
  brand.ReadConfig(R"({"setup_url": "b", "setup_url64": "a"})");
  ScriptedDownloader downloader(Context(&brand), {{50, 100, false, "e"},
                                                  {0, 0, false, "e"},
                                                  {0, 0, false, "e"},
                                                  {100, 100, true, ""}});
  EXPECT_EQ(downloader.DownloadModule(
                file_.Get(),
                InstallerCommandLine::FromString(L"i.exe --download-x64")),
            kModuleReady);
  EXPECT_EQ(downloader.urls_tried,
            (std::vector<std::wstring>{
                L"a?from_installer=true", L"a?from_installer=true",
                L"a?from_installer=true", L"b?from_installer=true"}));
  // The same URL resumes; the switch to the next one starts empty.
  EXPECT_EQ(downloader.count_before, (std::vector<uint32_t>{0, 50, 50, 0}));
  EXPECT_EQ(ReadInstallerValue(L"try_x64"), L"2");
  EXPECT_EQ(events_.events.back().at("x64"), L"1");
}

TEST_F(ModuleDownloadTest, ExhaustedAttemptsLeaveNoPartialPackage) {
  BrandInfo brand(L"C:\\t\\");
  brand.ReadConfig(R"({"setup_url": "u"})");
  ScriptedDownloader downloader(Context(&brand),
                                std::deque<Attempt>(6, {60, 100, false, "e"}));
  EXPECT_EQ(downloader.DownloadModule(
                file_.Get(), InstallerCommandLine::FromString(L"i.exe")),
            kModuleNotObtained);
  EXPECT_EQ(downloader.urls_tried.size(), 6u);
  EXPECT_EQ(FileSize(), 0u);
  EXPECT_TRUE(logger_->Has("Max download attempts failed (6)"));
}

TEST_F(ModuleDownloadTest, ExceptionsStopAtOnceWithoutEvents) {
  const struct {
    const char* dll;
    const char* procedure;
    ModuleResult result;
  } kCases[] = {
      {"cplib.dll", "CryptoProVerify", kModuleCryptoProException},
      {"other.dll", "CryptoProVerify", kModuleNotObtained},
  };
  for (const auto& c : kCases) {
    events_.events.clear();
    BrandInfo brand(L"C:\\t\\");
    brand.ReadConfig(R"({"setup_url": "u"})");
    ScriptedDownloader downloader(
        Context(&brand), {{0, 0, false, "", 0xC06D007E, c.dll, c.procedure}});
    EXPECT_EQ(downloader.DownloadModule(
                  file_.Get(), InstallerCommandLine::FromString(L"i.exe")),
              c.result);
    EXPECT_EQ(downloader.urls_tried.size(), 1u);
    EXPECT_EQ(events_.Summary(),
              (std::vector<std::string>{"download started"}));
  }
  EXPECT_TRUE(
      logger_->Has("Exception with code=3228369022dll_name=cplib.dllproc_name="
                   "CryptoProVerify"));
}

TEST_F(ModuleDownloadTest, CancelDuringThePauseAndClosedWindowSilence) {
  BrandInfo brand(L"C:\\t\\");
  brand.ReadConfig(R"({"setup_url": "u"})");
  user_cancel_ = 1;  // the user closed the window: no attempt events
  ScriptedDownloader downloader(Context(&brand),
                                std::deque<Attempt>(6, {0, 0, false, "e"}));
  downloader.cancel_in_pause = cancel_.Get();
  EXPECT_EQ(downloader.DownloadModule(
                file_.Get(), InstallerCommandLine::FromString(L"i.exe")),
            kModuleNotObtained);
  EXPECT_EQ(downloader.urls_tried.size(), 1u);
  EXPECT_EQ(events_.Summary(), (std::vector<std::string>{"download started"}));
}

// A downloader whose answers are scripted: chunks of the body, the
// announced length.
class FakeInternetDownloader : public InternetDownloader {
 public:
  FakeInternetDownloader(std::vector<uint32_t> chunks, uint32_t length)
      : chunks_(std::move(chunks)), length_(length) {}
  bool Open(const std::wstring&, DownloadSink* sink) override {
    sink_ = sink;
    return true;
  }
  uint32_t Read() override {
    if (next_ >= chunks_.size()) return 0;
    std::string bytes(chunks_[next_], 'x');
    sink_->Write(bytes.data(), chunks_[next_]);
    set_content_length(length_);
    return chunks_[next_++];
  }
  bool Finalize(int*) override { return true; }

 private:
  std::vector<uint32_t> chunks_;
  uint32_t length_;
  size_t next_ = 0;
  DownloadSink* sink_ = nullptr;
};

class RecordingObserver : public DownloadProgressObserver {
 public:
  void OnDownloadProgress(float fraction) override {
    calls.push_back("progress " + std::to_string(fraction).substr(0, 4));
  }
  void OnLongDownload() override { calls.push_back("long"); }
  void OnTimeLeft(int seconds, int phase) override {
    calls.push_back("time " + std::to_string(seconds) + " " +
                    std::to_string(phase));
  }
  std::vector<std::string> calls;
};

TEST(DownloadLoopTest, ProgressWithAndWithoutLength) {
  const struct {
    uint32_t length;
    std::vector<std::string> calls;
  } kCases[] = {
      {100,
       {"progress 0.00", "time -1 0", "progress 0.50", "progress 1.00",
        "progress 1.00", "time 0 2"}},
      // Without Content-Length only the start and the end are reported.
      {0, {"progress 0.00", "time -1 0", "progress 1.00", "time 0 2"}},
      // More than announced (after a resumed request): capped.
      {60,
       {"progress 0.00", "time -1 0", "progress 0.83", "progress 1.00",
        "progress 1.00", "time 0 2"}},
  };
  for (const auto& c : kCases) {
    FakeInternetDownloader downloader({50, 50}, c.length);
    StringDownloadSink sink;
    RecordingObserver observer;
    DownloadLoopResult result;
    EXPECT_TRUE(
        RunDownloadLoop(&downloader, L"u", &sink, nullptr, &observer, &result));
    EXPECT_EQ(observer.calls, c.calls) << c.length;
    EXPECT_EQ(result.content_length, c.length);
  }
}

TEST(DownloadLoopTest, CancelledBeforeTheNextRead) {
  FakeInternetDownloader downloader({10, 10, 10}, 30);
  StringDownloadSink sink;
  base::ScopedHandle cancel(::CreateEventW(nullptr, TRUE, TRUE, nullptr));
  EXPECT_FALSE(RunDownloadLoop(&downloader, L"u", &sink, cancel.Get(), nullptr,
                               nullptr));
  EXPECT_EQ(sink.count(), 0u);
}

TEST(DownloadLoopTest, TimeLeftEstimate) {
  EXPECT_EQ(EstimateRemainingMs(100, 25, 60000), 180000u);
  EXPECT_EQ(EstimateRemainingMs(100, 0, 60000), 0u);
  EXPECT_EQ(EstimateRemainingMs(100, 120, 60000), 0u);
  EXPECT_EQ(EstimateRemainingMs(0xFFFFFFFFu, 1, 0xFFFFFFFFu),
            0xFFFFFFFEull * 0xFFFFFFFFull);
}

}  // namespace
}  // namespace lite
