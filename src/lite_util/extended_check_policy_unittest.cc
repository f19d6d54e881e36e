#include "lite_util/extended_check_policy.h"

#include "gtest/gtest.h"
#include "lite_util/windows_version.h"

namespace lite {
namespace {

TEST(ExtendedCheckPolicyTest, Table) {
  const ExtendedCheckSwitches kFixed = kExtendedCheckSwitches;
  const ExtendedCheckSwitches kOff = {.win7update = false};
  const ExtendedCheckSwitches kWindowsLimit = {.win7_version = "6.3"};
  const ExtendedCheckSwitches kCryptLimit = {.crypt_version = "6.1.7601.24000"};
  const ExtendedCheckSwitches kBadLimit = {.win7_version = "6.x"};
  const struct {
    const ExtendedCheckSwitches& switches;
    int version_class;
    const char* windows;
    const char* crypt32;
    bool allowed;
  } kCases[] = {
      // With the program's own switches: Windows 8.1 and older only.
      {kFixed, kWindows7, "", "", true},
      {kFixed, kWindows81, "", "", true},
      {kFixed, kWindows10, "", "", false},
      {kFixed, kWindows11, "", "", false},
      {kOff, kWindows7, "6.1.7601.0", "", false},
      {kWindowsLimit, kWindows7, "6.1.7601.0", "", true},
      {kWindowsLimit, kWindows81, "6.3.9600.0", "", false},
      {kWindowsLimit, kWindows81, "unknown", "", false},
      {kCryptLimit, kWindows7, "", "6.1.7601.23999", true},
      {kCryptLimit, kWindows7, "", "6.1.7601.24000", false},
      {kCryptLimit, kWindows7, "", "", false},
      {kBadLimit, kWindows81, "6.3.9600.0", "", true},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(IsExtendedCheckAllowedFor(c.switches, c.version_class, c.windows,
                                        c.crypt32),
              c.allowed)
        << c.version_class << " " << c.windows << " " << c.crypt32;
  }
}

TEST(ExtendedCheckPolicyTest, Versions) {
  EXPECT_FALSE(ParseDottedVersion(""));
  EXPECT_FALSE(ParseDottedVersion("1..2"));
  EXPECT_FALSE(ParseDottedVersion("1.2.3.4.5"));
  EXPECT_FALSE(ParseDottedVersion("1.2."));
  EXPECT_FALSE(ParseDottedVersion("1.-2"));
  EXPECT_FALSE(ParseDottedVersion("1234567890"));
  EXPECT_EQ(CompareVersions(*ParseDottedVersion("6.1"),
                            *ParseDottedVersion("6.1.0.0")),
            0);
  EXPECT_LT(CompareVersions(*ParseDottedVersion("6.1.7601"),
                            *ParseDottedVersion("6.10")),
            0);
  EXPECT_GT(CompareVersions(*ParseDottedVersion("10.0.0.1"),
                            *ParseDottedVersion("10")),
            0);
}

}  // namespace
}  // namespace lite
