#include "lite_util/logging/log_line_format.h"

#include <string>

#include "gtest/gtest.h"

namespace lite {
namespace {

TEST(LogLineFormatTest, HeaderAndSuffix) {
  LogTime time{2022, 10, 5, 12, 34, 56, 789};
  EXPECT_EQ(FormatLogHeader(time, 4242, 5152).value(),
            "2022-10-05 12:34:56.789 4242:5152 ");
  EXPECT_EQ(FormatLogHeader(LogTime{}, 7, 3).value(),
            "0000-00-00 00:00:00.000 07:03 ");
  EXPECT_EQ(FormatLogSuffix("GetInfo", 296).value(), " (GetInfo:296)");
  // A name ends at a NUL; a negative line keeps its sign.
  EXPECT_EQ(FormatLogSuffix(std::string_view("Get\0Info", 8), -3).value(),
            " (Get:-3)");
}

TEST(LogLineFormatTest, OversizedSuffixIsRejected) {
  // " (" + name + ":1)" must stay below 200 bytes.
  EXPECT_TRUE(FormatLogSuffix(std::string(194, 'f'), 1).has_value());
  EXPECT_FALSE(FormatLogSuffix(std::string(195, 'f'), 1).has_value());
}

TEST(LogLineFormatTest, LinesAndNotices) {
  EXPECT_EQ(FormatLogLine("H ", "INFO", "", " (f:1)"), "H INFO:  (f:1)\n");
  EXPECT_EQ(FormatLogNotice("H ", kLockFailureNotice, "C:\\t\\\\x.log"),
            "H LOGGING: Failed to lock log file C:\\t\\\\x.log\n");
  EXPECT_EQ(FormatRotationNotice("H ", "p", -5),
            "H LOGGING: Failed to rotate log file p: -5\n");
}

TEST(LogLineFormatTest, MutexNameIsMd5OfThePath) {
  EXPECT_EQ(LogMutexName(""),
            "relupdater log d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(LogMutexName("abc"),
            "relupdater log 900150983cd24fb0d6963f7d28e17f72");
}

TEST(LogLineFormatTest, OldLogPath) {
  EXPECT_EQ(OldLogPath(L"C:\\T\\\\lite_installer.log"),
            L"C:\\T\\\\lite_installer_old.log");
  EXPECT_EQ(OldLogPath(L"C:\\dir.d\\log"), L"C:\\dir.d\\log_old");
  EXPECT_EQ(OldLogPath(L"a.b.log"), L"a.b_old.log");
}

TEST(LogLineFormatTest, RotationThresholdIncludesHeaderAndText) {
  EXPECT_FALSE(NeedsRotation(1000, 30, 69, 1100));
  EXPECT_TRUE(NeedsRotation(1000, 30, 70, 1100));
  EXPECT_TRUE(NeedsRotation(0xFFFFFFFFull, 30, 70, 0xFFFFFFFFu));
}

}  // namespace
}  // namespace lite
