// A test fixture with a fresh directory under the temporary directory
// (removed afterwards, path ending in a backslash) and a recording logger.
#ifndef TEST_SUPPORT_TEMP_DIRECTORY_TEST_H_
#define TEST_SUPPORT_TEMP_DIRECTORY_TEST_H_

#include <string>

#include "base/file_util.h"
#include "gtest/gtest.h"
#include "test/support/recording_logger.h"

namespace lite {

class TempDirectoryTest : public testing::Test {
 protected:
  void SetUp() override {
    logger_ = RecordingLogger::Install();
    directory_ = base::CreateUniqueDirectory(base::GetTempDirectory());
    ASSERT_FALSE(directory_.empty());
    directory_ += L"\\";
  }
  void TearDown() override {
    base::DeleteDirectoryRecursive(directory_);
    SetLogger(nullptr);
  }

  RecordingLogger* logger_ = nullptr;
  std::wstring directory_;
};

}  // namespace lite

#endif  // TEST_SUPPORT_TEMP_DIRECTORY_TEST_H_
