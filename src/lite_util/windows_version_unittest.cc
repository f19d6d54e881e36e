#include "lite_util/windows_version.h"

#include "gtest/gtest.h"

namespace lite {
namespace {

TEST(WindowsVersionTest, ClassificationTable) {
  const struct {
    uint32_t major, minor, build;
    int version;
  } kCases[] = {
      {4, 0, 1381, 0},    {5, 0, 2195, 0},    {5, 1, 2600, 1},
      {5, 2, 3790, 2},    {5, 3, 0, 2},       {6, 0, 6002, 3},
      {6, 1, 7601, 4},    {6, 2, 9200, 5},    {6, 3, 9600, 6},
      {6, 4, 9841, 6},    {10, 0, 10240, 7},  {10, 0, 10585, 7},
      {10, 0, 10586, 8},  {10, 0, 14392, 8},  {10, 0, 14393, 9},
      {10, 0, 15062, 9},  {10, 0, 15063, 10}, {10, 0, 16298, 10},
      {10, 0, 16299, 11}, {10, 0, 17133, 11}, {10, 0, 17134, 12},
      {10, 0, 17762, 12}, {10, 0, 17763, 13}, {10, 0, 18361, 13},
      {10, 0, 18362, 14}, {10, 0, 18363, 15}, {10, 0, 19040, 15},
      {10, 0, 19041, 16}, {10, 0, 19042, 17}, {10, 0, 19043, 18},
      {10, 0, 19044, 19}, {10, 0, 20347, 19}, {10, 0, 20348, 20},
      {10, 0, 21999, 20}, {10, 0, 22000, 21}, {10, 0, 26100, 21},
      {11, 0, 0, 21},     {7, 0, 0, 22},      {9, 0, 0, 22},
      {12, 0, 0, 22},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(ClassifyWindowsVersion(c.major, c.minor, c.build), c.version)
        << c.major << "." << c.minor << "." << c.build;
  }
}

TEST(WindowsVersionTest, ArchitectureTable) {
  EXPECT_EQ(ClassifyNativeArchitecture(0), 0);
  EXPECT_EQ(ClassifyNativeArchitecture(9), 1);
  EXPECT_EQ(ClassifyNativeArchitecture(6), 2);
  EXPECT_EQ(ClassifyNativeArchitecture(12), 3);
  EXPECT_EQ(ClassifyNativeArchitecture(5), 4);
}

TEST(WindowsVersionTest, RunningSystemIsCachedAndKnown) {
  const SystemVersion& first = CurrentSystemVersion();
  EXPECT_EQ(&first, &CurrentSystemVersion());
  EXPECT_GE(first.version, 3) << "Vista or later";
  EXPECT_LE(first.version, 22);
}

}  // namespace
}  // namespace lite
