#include "lite_installer/brand/distrib_params.h"

#include <windows.h>

#include <fstream>
#include <iterator>
#include <string>

#include "base/file_util.h"
#include "base/string_util.h"
#include "gtest/gtest.h"
#include "lite_installer/brand/distrib_info_file.h"
#include "lite_util/installer_registry.h"
#include "test/support/pe_fixtures.h"
#include "test/support/recording_logger.h"

namespace lite {
namespace {

using namespace test_fixtures;  // NOLINT

std::string ReadFile(const std::wstring& path) {
  std::ifstream file(base::WideToUTF8(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

// Parameters read from a file of the test's choosing instead of this
// executable.
class FileDistribParams : public DistribParams {
 public:
  explicit FileDistribParams(std::wstring path) : path_(std::move(path)) {}
  std::wstring OwnModulePath() const override { return path_; }

 private:
  std::wstring path_;
};

class DistribParamsTest : public testing::Test {
 protected:
  void SetUp() override {
    logger_ = RecordingLogger::Install();
    directory_ = base::CreateUniqueDirectory(base::GetTempDirectory());
    ASSERT_FALSE(directory_.empty());
    RemoveInstallerValue(L"DistribInfoParams");
    ::DeleteFileW((base::GetTempDirectory() + L"distrib_info").c_str());
  }
  void TearDown() override {
    base::DeleteDirectoryRecursive(directory_);
    RemoveInstallerValue(L"DistribInfoParams");
    SetLogger(nullptr);
  }
  std::wstring Write(const std::string& name, const Bytes& bytes) {
    std::wstring path = directory_ + L"\\" + base::UTF8ToWide(name);
    std::ofstream(base::WideToUTF8(path), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return path;
  }

  RecordingLogger* logger_ = nullptr;
  std::wstring directory_;
};

TEST_F(DistribParamsTest, TagsFromTheExecutable) {
  const struct {
    const char* name;
    Bytes file;
    std::string expected_text;  // stored in the registry
    const char* message;        // an ERROR line that must appear
  } kCases[] = {
      {"two_certificates.exe",
       PeWithCertificateTable(CertificateEntry(Signature(
           Cat({DummyCertificate("b=2&"), DummyCertificate("a=1")})))),
       "b=2&a=1", nullptr},
      {"tag_block.exe", PeWithTagBlock(21, "lang=ru&x=1"), "lang=ru&x=1",
       "Failed to find certificate table in "},
      {"unsigned.exe", PeWithCertificateTable({}), "",
       "Failed to find certificate table in "},
      {"broken_set.exe",
       PeWithCertificateTable(CertificateEntry(
           Signature(Cat({DummyCertificate("a=1"), Bytes{0x30}})))),
       "", "Invalid ASN1 format of certificate table in "},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    RemoveInstallerValue(L"DistribInfoParams");
    std::wstring path = Write(c.name, c.file);
    FileDistribParams params(path);
    EXPECT_EQ(params.LoadDistribParams(), !c.expected_text.empty());
    EXPECT_EQ(ReadInstallerValue(L"DistribInfoParams"),
              base::UTF8ToWide(c.expected_text));
    if (c.message) {
      EXPECT_TRUE(logger_->Has(c.message + base::WideToUTF8(path)));
    }
  }
}

TEST_F(DistribParamsTest, MissingFileGivesNothing) {
  FileDistribParams params(directory_ + L"\\missing.exe");
  EXPECT_FALSE(params.LoadDistribParams());
  EXPECT_TRUE(logger_->Has("Can't open file "));
  EXPECT_TRUE(logger_->Has("Failed to read file "));
  EXPECT_TRUE(params.distrib_info_file().empty());
  EXPECT_FALSE(base::FileExists(base::GetTempDirectory() + L"distrib_info"));
}

TEST_F(DistribParamsTest, InfoFileTextAndLookups) {
  std::wstring path = Write(
      "p.exe", PeWithCertificateTable(CertificateEntry(Signature(
                   DummyCertificate("stat=2&def=1&b=2&a=1&bad=\xff&uac=7")))));
  FileDistribParams params(path);
  ASSERT_TRUE(params.LoadDistribParams());
  EXPECT_EQ(params.distrib_info_file(),
            base::GetTempDirectory() + L"distrib_info");
  EXPECT_EQ(ReadFile(params.distrib_info_file()),
            "{\n  \"a\": \"1\",\n  \"b\": \"2\",\n  \"def\": \"1\",\n"
            "  \"stat\": \"2\",\n  \"uac\": \"7\"\n}");
  bool flag = true;
  EXPECT_TRUE(params.GetBool("def", &flag));
  EXPECT_TRUE(flag);
  EXPECT_TRUE(params.GetBool("stat", &flag));
  EXPECT_FALSE(flag);
  EXPECT_FALSE(params.GetBool("uac", &flag));
  EXPECT_FALSE(params.GetBool("absent", &flag));
  std::string value;
  EXPECT_TRUE(params.Get("bad", &value));
  EXPECT_EQ(value, "\xff");
  EXPECT_FALSE(params.Get("absent", &value));
}

TEST(DistribInfoFileTest, Text) {
  EXPECT_EQ(DistribParamsJson({}).value(), "{}");
  EXPECT_EQ(DistribParamsJson({{"k", "v \"q\" /"}}).value(),
            "{\n  \"k\": \"v \\\"q\\\" /\"\n}");
  EXPECT_EQ(DistribParamsJson({{"\xc3", "x"}, {"y", "\xd0\x96"}}).value(),
            "{\n  \"y\": \"\xd0\x96\"\n}");
}

}  // namespace
}  // namespace lite
