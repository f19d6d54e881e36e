#include "lite_util/user_id.h"

#include <windows.h>

#include <fstream>
#include <regex>
#include <string>

#include "base/file_util.h"
#include "base/string_util.h"
#include "gtest/gtest.h"
#include "test/support/recording_logger.h"

namespace lite {
namespace {

// Runs each test with no id file and no marker, and leaves none behind.
class UserIdTest : public testing::Test {
 protected:
  void SetUp() override {
    logger_ = RecordingLogger::Install();
    Clean();
    path_ = GetUserIdFilePath(true);
    ASSERT_FALSE(path_.empty());
  }
  void TearDown() override {
    Clean();
    SetLogger(nullptr);
  }
  void Clean() {
    std::wstring path = GetUserIdFilePath(false);
    if (!path.empty()) ::DeleteFileW(path.c_str());
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\AppDataLow\\Zarvex");
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Zarvex");
  }
  void WriteId(const std::string& content) {
    std::ofstream(base::WideToUTF8(path_), std::ios::binary) << content;
  }

  RecordingLogger* logger_ = nullptr;
  std::wstring path_;
};

TEST_F(UserIdTest, FirstRunCreatesABracedGuidAndTheMarker) {
  std::string id = GetUserIdInternal();
  EXPECT_TRUE(std::regex_match(
      id, std::regex(R"(\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-)"
                     R"([0-9A-F]{12}\})")))
      << id;
  EXPECT_EQ(GetUserId(), id.substr(1, 36));
  EXPECT_EQ(GetUserIdInternal(), id) << "read back from the file";

  // Without the file, the marker blocks a new id.
  ::DeleteFileW(path_.c_str());
  EXPECT_EQ(GetUserIdInternal(), "");
  EXPECT_TRUE(logger_->Has(
      "Registry entry already exists, skip User ID file generation"));
  EXPECT_FALSE(base::FileExists(path_));
}

TEST_F(UserIdTest, FileContentLimits) {
  // The marker keeps a rejected file from being replaced by a new id.
  std::string first = GetUserIdInternal();
  ASSERT_FALSE(first.empty());
  const struct {
    std::string content;
    std::string id;
    const char* message;
  } kCases[] = {
      {std::string(64, 'x'), std::string(64, 'x'), nullptr},
      {"plain-id", "plain-id", nullptr},
      {std::string(65, 'x'), "", "Incorrect User ID file content"},
      {std::string(66, 'x'), "", "Failed to read file "},
      {"", "", "Incorrect User ID file content"},
  };
  for (const auto& c : kCases) {
    WriteId(c.content);
    EXPECT_EQ(GetUserIdInternal(), c.id) << c.content.size();
    if (c.message) EXPECT_TRUE(logger_->Has(c.message)) << c.message;
  }
  WriteId("{abc}");
  EXPECT_EQ(GetUserId(), "abc");
  WriteId("{abc");
  EXPECT_EQ(GetUserId(), "{abc");
}

}  // namespace
}  // namespace lite
