#include "lite_util/system_checks.h"

#include "gtest/gtest.h"

namespace lite {
namespace {

TEST(SystemChecksTest, CryptoProExceptionTable) {
  const struct {
    uint32_t code;
    const char* dll;
    const char* procedure;
    bool expected;
  } kCases[] = {
      {0xC06D007E, "CPLIB.DLL", "GetCryptoProVersion", true},
      {0xC06D007E, "cplib.dll", "xCRYPTOPROx", true},
      {0xC06D007E, "cplib.dll", "cryptopro", true},
      {0xC06D007F, "cplib.dll", "CryptoPro", false},
      {0xC06D007E, "cplib.dll.bak", "CryptoPro", false},
      {0xC06D007E, "cplib.dll", "Crypto Pro", false},
      {0xC06D007E, "", "", false},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(IsCryptoProException({c.code, c.dll, c.procedure}), c.expected)
        << c.dll << " " << c.procedure;
  }
}

TEST(SystemChecksTest, ProcessorAndDiskOnThisMachine) {
  int message = 12345;
  // Any machine that runs these tests has SSE2 and SSE3.
  EXPECT_TRUE(IsProcessorSupported(&message));
  EXPECT_EQ(message, 12345) << "left untouched on success";
  EXPECT_TRUE(IsProcessorSupported(nullptr));
  EXPECT_TRUE(HasEnoughDiskSpace(false, 1));
  EXPECT_FALSE(HasEnoughDiskSpace(false, ~0ull));
}

}  // namespace
}  // namespace lite
