#include "lite_installer/variations_file.h"

#include <windows.h>

#include <string>

#include "base/file_util.h"
#include "gtest/gtest.h"
#include "test/support/recording_logger.h"

namespace lite {
namespace {

TEST(VariationsFileTest, FormatsBodyAndHeadersInDefaultJanssonStyle) {
  VariationsResponse response;
  response.body = std::string("\x00\xff\x10seed", 7);
  response.signature = "MEUCIQ/+sig==";
  response.last_modified = "Tue, 01 Dec 2026 10:00:00 GMT";
  EXPECT_EQ(FormatVariationsJson(response),
            "{\"variations_seed_base64\": \"AP8Qc2VlZA==\", "
            "\"variations_seed_signature\": \"MEUCIQ/+sig==\", "
            "\"variations_last_modified_time\": "
            "\"Tue, 01 Dec 2026 10:00:00 GMT\", "
            "\"variations_country\": \"\"}");
}

TEST(VariationsFileTest, HeaderValuesAreKeptAsReceivedOrRefused) {
  const struct {
    const char* name;
    std::string country;
    std::string expected;  // the country member's JSON text; empty: refused
  } kCases[] = {
      {"plain", "de", "\"de\""},
      {"quotes and backslash", "a\"b\\c", "\"a\\\"b\\\\c\""},
      {"UTF-8 stays raw", "\xc3\xa9t\xc3\xa9", "\"\xc3\xa9t\xc3\xa9\""},
      {"NUL kept", std::string("a\0b", 3), "\"a\\u0000b\""},
      {"not UTF-8", "\xff\xfe", ""},
      {"cut UTF-8 sequence", "\xc3", ""},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    VariationsResponse response;
    response.signature = "s";
    response.country = c.country;
    std::string key;
    std::string value;
    ScopedJson json = BuildVariationsJson(response, &key, &value);
    if (c.expected.empty()) {
      EXPECT_FALSE(json);
      EXPECT_EQ(key, "variations_country");
      EXPECT_EQ(value, c.country);
      EXPECT_EQ(FormatVariationsJson(response), "");
    } else {
      ASSERT_TRUE(json);
      const std::string text = FormatVariationsJson(response);
      EXPECT_NE(text.find("\"variations_country\": " + c.expected + "}"),
                std::string::npos)
          << text;
    }
  }
}

TEST(VariationsFileTest, SaveWritesTheTextOrLogsWhy) {
  RecordingLogger* logger = RecordingLogger::Install();
  const std::wstring directory =
      base::CreateUniqueDirectory(base::GetTempDirectory());
  ASSERT_FALSE(directory.empty());
  const std::wstring path = directory + L"\\seed.json";

  VariationsResponse response;
  response.body = "body";
  response.signature = "sig";
  ASSERT_TRUE(base::WriteBytesToFile(path, std::string(500, 'x')));
  ASSERT_TRUE(SaveVariations(path, response));  // truncates what was there
  std::string saved;
  ASSERT_TRUE(base::ReadFileToString(path, &saved));
  EXPECT_EQ(saved, FormatVariationsJson(response));

  EXPECT_FALSE(SaveVariations(directory + L"\\missing\\seed.json", response));
  EXPECT_TRUE(logger->Has("Failed to open variations file "));

  response.signature.assign(1, '\x80');
  EXPECT_FALSE(SaveVariations(path, response));
  EXPECT_TRUE(logger->Has(
      "Failed to serialize variations value variations_seed_signature: \x80"));
  for (const LogRecord& record : logger->Records()) {
    EXPECT_STREQ(record.function, "SaveVariations");
    EXPECT_EQ(record.severity, LOG_ERROR);
  }

  base::DeleteDirectoryRecursive(directory);
  SetLogger(nullptr);
}

}  // namespace
}  // namespace lite
