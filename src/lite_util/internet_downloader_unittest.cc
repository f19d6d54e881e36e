#include "lite_util/internet_downloader.h"

#include <windows.h>

#include <memory>
#include <string>

#include "base/scoped_handle.h"
#include "gtest/gtest.h"
#include "test/support/temp_directory_test.h"

namespace lite {
namespace {

using SinkLimitTest = TempDirectoryTest;

// A sink holds at most its limit: the write that would pass it fails with
// ERROR_FILE_TOO_LARGE and changes nothing, so a body that never ends
// cannot fill the memory or the disk.
TEST_F(SinkLimitTest, WritesStopAtTheLimit) {
  const std::wstring path = directory_ + L"body";
  base::ScopedHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr,
                                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                        nullptr));
  ASSERT_TRUE(file.IsValid());
  std::unique_ptr<DownloadSink> sinks[] = {
      std::make_unique<StringDownloadSink>(10),
      std::make_unique<FileDownloadSink>(file.Get(), 10),
  };
  const char bytes[] = "0123456789ab";
  for (auto& sink : sinks) {
    EXPECT_TRUE(sink->Write(bytes, 6));
    ::SetLastError(0);
    EXPECT_FALSE(sink->Write(bytes, 5));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_FILE_TOO_LARGE));
    EXPECT_FALSE(sink->Write(bytes, 0xFFFFFFFFu));
    EXPECT_EQ(sink->count(), 6u);
    EXPECT_TRUE(sink->Write(bytes, 4));
    EXPECT_EQ(sink->count(), 10u);
  }
  auto* string_sink = static_cast<StringDownloadSink*>(sinks[0].get());
  EXPECT_EQ(string_sink->bytes(), "0123450123");
  LARGE_INTEGER size = {};
  ASSERT_TRUE(::GetFileSizeEx(file.Get(), &size));
  EXPECT_EQ(size.QuadPart, 10);
  EXPECT_EQ(StringDownloadSink().limit(), 16u * 1024 * 1024);
}

}  // namespace
}  // namespace lite
