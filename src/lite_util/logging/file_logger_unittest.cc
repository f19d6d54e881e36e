#include "lite_util/logging/file_logger.h"

#include <windows.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <regex>
#include <string>
#include <thread>

#include "base/file_util.h"
#include "base/scoped_handle.h"
#include "base/string_util.h"
#include "gtest/gtest.h"
#include "lite_util/logging/log_line_format.h"

namespace lite {
namespace {

std::string ReadFile(const std::wstring& path) {
  std::ifstream file(base::WideToUTF8(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

// A logger over a fresh directory, installed as the process's logger.
class FileLoggerTest : public testing::Test {
 protected:
  void SetUp() override {
    directory_ = base::CreateUniqueDirectory(base::GetTempDirectory());
    ASSERT_FALSE(directory_.empty());
    path_ = directory_ + L"\\\\lite_installer.log";
  }
  void TearDown() override {
    SetLogger(nullptr);
    base::DeleteDirectoryRecursive(directory_);
  }

  FileLogger* Install(uint32_t max_size = 1048576) {
    auto logger = std::make_unique<FileLogger>(path_, max_size);
    FileLogger* raw = logger.get();
    SetLogger(std::move(logger));
    return raw;
  }

  std::wstring directory_;
  std::wstring path_;
};

TEST_F(FileLoggerTest, NothingIsWrittenBeforeALoggerIsInstalled) {
  LOG(INFO) << "lost";
  EXPECT_FALSE(base::FileExists(path_));
}

TEST_F(FileLoggerTest, WritesLinesInTheFileFormat) {
  Install();
  LOG(INFO) << "Brand package path: " << L"C:\\x\\brand";
  LOG(WARNING) << 42 << ' ' << -7;
  LOG(ERROR);
  LOG_WITH_ERROR(ERROR, 5) << "Open failed";
  LOG_WITH_ERROR(INFO, 0xDEAD1);

  std::string content = ReadFile(path_);
  std::string ids = std::to_string(::GetCurrentProcessId()) + ":" +
                    std::to_string(::GetCurrentThreadId()) + " ";
  std::string stamp = R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3} )" + ids;
  std::string function = "TestBody";
  std::regex expected(
      stamp + R"(INFO: Brand package path: C:\\x\\brand \()" + function +
      R"(:\d+\)\n)" + stamp + R"(WARNING: 42 -7 \()" + function +
      R"(:\d+\)\n)" + stamp + R"(ERROR:  \()" + function + R"(:\d+\)\n)" +
      stamp + R"(ERROR: Open failed - 5, [^\n]+\r?\n \()" + function +
      R"(:\d+\)\n)" + stamp + R"(INFO: 912081, unknown error 0xdead1\n \()" +
      function + R"(:\d+\)\n)");
  EXPECT_TRUE(std::regex_match(content, expected)) << content;
}

TEST_F(FileLoggerTest, CreatesMissingDirectories) {
  path_ = directory_ + L"\\a\\b\\x.log";
  Install();
  LOG(INFO) << "deep";
  EXPECT_NE(ReadFile(path_).find("INFO: deep"), std::string::npos);
}

TEST_F(FileLoggerTest, UnopenableFileLosesLinesQuietly) {
  ASSERT_TRUE(::CreateDirectoryW(path_.c_str(), nullptr));  // a directory
  Install();
  LOG(INFO) << "lost";
  EXPECT_TRUE(base::DirectoryExists(path_));
}

TEST_F(FileLoggerTest, RotatesWhenTheThresholdIsReachedExactly) {
  FileLogger* logger = Install(1000);
  LogRecord record;
  record.function = "f";
  record.text = std::string(100, 'a');
  logger->Emit(record);
  size_t length = ReadFile(path_).size();
  // A zero FILETIME is 1601-01-01; process and thread ids are 0.
  std::string header = "1601-01-01 00:00:00.000 00:00 ";
  // length + header + text == 1000 exactly: rotate first.
  record.text = std::string(1000 - length - header.size(), 'b');
  std::string before = ReadFile(path_);
  logger->Emit(record);
  EXPECT_EQ(ReadFile(directory_ + L"\\\\lite_installer_old.log"), before);
  EXPECT_EQ(ReadFile(path_), header + "INFO: " + record.text + " (f:0)\n");

  // One byte less would not rotate.
  record.text = "c";
  logger->Emit(record);
  EXPECT_EQ(ReadFile(directory_ + L"\\\\lite_installer_old.log"), before);
}

// A write cut short (a full disk, another process ending mid-record) leaves
// the file without its last line break; the next record still starts on a
// line of its own.
TEST_F(FileLoggerTest, ARecordCutShortDoesNotSwallowTheNext) {
  const struct {
    std::string before;
    std::string separator;
  } kCases[] = {
      {"", ""},
      {"1601-01-01 00:00:00.000 00:00 INFO: whole (f:0)\n", ""},
      {"1601-01-01 00:00:00.000 00:00 INFO: cut short by a full di", "\n"},
  };
  FileLogger* logger = Install();
  LogRecord record;
  record.function = "f";
  record.text = "next";
  for (const auto& c : kCases) {
    ASSERT_TRUE(base::WriteBytesToFile(path_, c.before));
    logger->Emit(record);
    EXPECT_EQ(ReadFile(path_), c.before + c.separator +
                                   "1601-01-01 00:00:00.000 00:00 INFO: next "
                                   "(f:0)\n");
  }
}

TEST_F(FileLoggerTest, FailedRotationIsReportedOnceAndSwitchedOff) {
  FileLogger* logger = Install(10);
  // A non-empty directory where the old file should go cannot be replaced.
  std::wstring old_path = directory_ + L"\\\\lite_installer_old.log";
  ASSERT_TRUE(::CreateDirectoryW(old_path.c_str(), nullptr));
  std::ofstream(base::WideToUTF8(old_path + L"\\keep")) << "x";
  LogRecord record;
  record.function = "f";
  record.text = "first";
  logger->Emit(record);
  record.text = "second";
  logger->Emit(record);
  record.text = "third";
  logger->Emit(record);
  std::string content = ReadFile(path_);
  std::string notice =
      "LOGGING: Failed to rotate log file " + base::WideToUTF8(path_) + ": -";
  size_t first = content.find(notice);
  ASSERT_NE(first, std::string::npos) << content;
  EXPECT_EQ(content.find(notice, first + 1), std::string::npos) << content;
  EXPECT_NE(content.find("INFO: third"), std::string::npos);
}

TEST_F(FileLoggerTest, HeldMutexGivesOneLockFailureNotice) {
  class QuickLogger : public FileLogger {
   public:
    using FileLogger::FileLogger;
    uint32_t LockTimeoutMs() const override { return 50; }
  };
  QuickLogger logger(path_, 1048576);
  std::wstring name = base::UTF8ToWide(LogMutexName(base::WideToUTF8(path_)));
  base::ScopedHandle held(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  base::ScopedHandle release(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  std::thread holder([&] {
    base::ScopedHandle mutex(::CreateMutexW(nullptr, TRUE, name.c_str()));
    ::SetEvent(held.Get());
    ::WaitForSingleObject(release.Get(), INFINITE);
    ::ReleaseMutex(mutex.Get());
  });
  ::WaitForSingleObject(held.Get(), INFINITE);
  LogRecord record;
  record.function = "f";
  record.text = "one";
  logger.Emit(record);
  record.text = "two";
  logger.Emit(record);
  ::SetEvent(release.Get());
  holder.join();

  std::string content = ReadFile(path_);
  std::string notice =
      "LOGGING: Failed to lock log file " + base::WideToUTF8(path_) + "\n";
  size_t first = content.find(notice);
  ASSERT_NE(first, std::string::npos) << content;
  EXPECT_EQ(content.find(notice, first + 1), std::string::npos);
  EXPECT_LT(first, content.find("INFO: one"));
  EXPECT_NE(content.find("INFO: two"), std::string::npos);
}

TEST_F(FileLoggerTest, RealTimeoutIsAboutOneSecond) {
  FileLogger* logger = Install();
  std::wstring name = base::UTF8ToWide(LogMutexName(base::WideToUTF8(path_)));
  base::ScopedHandle held(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  base::ScopedHandle release(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  std::thread holder([&] {
    base::ScopedHandle mutex(::CreateMutexW(nullptr, TRUE, name.c_str()));
    ::SetEvent(held.Get());
    ::WaitForSingleObject(release.Get(), INFINITE);
    ::ReleaseMutex(mutex.Get());
  });
  ::WaitForSingleObject(held.Get(), INFINITE);
  ULONGLONG start = ::GetTickCount64();
  LOG(INFO) << "late";
  ULONGLONG waited = ::GetTickCount64() - start;
  ::SetEvent(release.Get());
  holder.join();
  (void)logger;
  EXPECT_GE(waited, 900u);
  EXPECT_NE(ReadFile(path_).find("INFO: late"), std::string::npos);
}

TEST_F(FileLoggerTest, AbandonedMutexIsReportedEveryTime) {
  FileLogger* logger = Install();
  std::wstring name = base::UTF8ToWide(LogMutexName(base::WideToUTF8(path_)));
  LogRecord record;
  record.function = "f";
  // The test keeps a handle open so that the named mutex outlives the
  // threads. (Opening an existing mutex ignores the initial-owner flag, so
  // each thread takes it with a wait.)
  base::ScopedHandle keep(::CreateMutexW(nullptr, FALSE, name.c_str()));
  for (const char* text : {"one", "two"}) {
    // A thread that ends while owning the mutex abandons it.
    std::thread([&] { ::WaitForSingleObject(keep.Get(), 0); }).join();
    record.text = text;
    logger->Emit(record);
  }
  keep.Reset();
  std::string content = ReadFile(path_);
  std::string notice = "LOGGING: Abandoned log mutex recovered for file " +
                       base::WideToUTF8(path_) + "\n";
  size_t first = content.find(notice);
  ASSERT_NE(first, std::string::npos) << content;
  EXPECT_NE(content.find(notice, first + 1), std::string::npos);
}

TEST(LogFilePathTest, IsTempDirectoryWithADoubledSeparator) {
  EXPECT_EQ(LogFilePath(L"C:\\T\\"), L"C:\\T\\\\lite_installer.log");
  EXPECT_EQ(LogFilePath(L""), L"\\lite_installer.log");
}

TEST(SystemErrorTextTest, KnownAndUnknownCodes) {
  std::string access_denied = SystemErrorText(5);
  EXPECT_EQ(access_denied.rfind("5, ", 0), 0u);
  EXPECT_GT(access_denied.size(), 4u);
  if (!::GetModuleHandleW(L"wininet.dll")) {
    EXPECT_EQ(SystemErrorText(0x2EE7), "12007, unknown error 0x2ee7\n");
  }
}

}  // namespace
}  // namespace lite
