#include "lite_installer/brand/installer_tag.h"

#include <cstdint>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "lite_installer/brand/distrib_params_parser.h"
#include "test/support/pe_fixtures.h"

namespace lite {
namespace {

using namespace test_fixtures;  // NOLINT

TEST(InstallerTagTest, CertificateTable) {
  const Bytes two_tags = Cat({DummyCertificate("a=1&"), OrdinaryCertificate(),
                              DummyCertificate("b=2")});
  const Bytes valid =
      PeWithCertificateTable(CertificateEntry(Signature(two_tags)));
  Bytes truncated = valid;
  truncated.resize(valid.size() - 40);
  Bytes garbage_in_set = PeWithCertificateTable(
      CertificateEntry(Signature(Cat({DummyCertificate("a=1"), Bytes{0x30}}))));
  Bytes bad_length_form = PeWithCertificateTable(CertificateEntry(Signature(
      Cat({DummyCertificate("a=1"), Bytes{0x30, 0x85, 1, 2, 3, 4, 5}}))));
  Bytes huge_claim = PeWithCertificateTable(CertificateEntry(Signature(Cat(
      {DummyCertificate("a=1"), Bytes{0x30, 0x84, 0x7F, 0xFF, 0xFF, 0xFF}}))));
  Bytes bad_header = valid;
  bad_header[0x80 + 1] = 'X';  // "PX\0\0"
  Bytes content_info_form =
      PeWithCertificateTable(CertificateEntry(Bytes{0x30, 0x80, 0x00, 0x00}));

  const struct {
    const char* name;
    Bytes file;
    std::string tag;
    TagReadError error;
  } kCases[] = {
      {"two dummy certificates", valid, "a=1&b=2", TagReadError::kNone},
      {"PE32+",
       PeWithCertificateTable(CertificateEntry(Signature(two_tags)), 0x20B),
       "a=1&b=2", TagReadError::kNone},
      {"overlong tag length skips only that certificate",
       PeWithCertificateTable(CertificateEntry(Signature(
           Cat({DummyCertificate("x=1", 200), DummyCertificate("y=2")})))),
       "y=2", TagReadError::kNone},
      {"no dummy certificate",
       PeWithCertificateTable(
           CertificateEntry(Signature(OrdinaryCertificate()))),
       "", TagReadError::kNone},
      {"no certificate table", PeWithCertificateTable({}), "",
       TagReadError::kNoCertificateTable},
      {"table past the end of the file", truncated, "",
       TagReadError::kNoCertificateTable},
      {"not a PE file", bad_header, "", TagReadError::kNoCertificateTable},
      {"short file", Bytes(63, 0), "", TagReadError::kNoCertificateTable},
      {"indefinite ContentInfo length", content_info_form, "",
       TagReadError::kNoCertificateTable},
      {"set does not end at its end", garbage_in_set, "",
       TagReadError::kInvalidAsn1},
      {"five length bytes", bad_length_form, "", TagReadError::kInvalidAsn1},
      {"2 GiB element in a small file", huge_claim, "",
       TagReadError::kInvalidAsn1},
  };
  for (const auto& c : kCases) {
    CertificateTag result = ExtractTagFromCertificateTable(c.file);
    EXPECT_EQ(result.tag, c.tag) << c.name;
    EXPECT_EQ(result.error, c.error) << c.name;
  }
}

TEST(InstallerTagTest, TagBlock) {
  Bytes no_table = PeWithCertificateTable({});
  Bytes cut = PeWithTagBlock(21, "a=1");
  cut.resize(cut.size() - 5);
  const struct {
    const char* name;
    Bytes file;
    std::string tag;
  } kCases[] = {
      {"aligned after the blob", PeWithTagBlock(21, "lang=ru&a=1"),
       "lang=ru&a=1"},
      {"blob already aligned", PeWithTagBlock(4, "x"), "x"},
      {"empty tag", PeWithTagBlock(9, ""), ""},
      {"length past the end", PeWithTagBlock(9, "abc", 4), ""},
      {"block past the end", cut, ""},
      {"no certificate table", no_table, ""},
      {"short file", Bytes{'M', 'Z'}, ""},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(ReadTagBlockFromBytes(c.file), c.tag) << c.name;
  }
}

TEST(DistribParamsParserTest, ParseParams) {
  using Map = std::map<std::string, std::string>;
  const struct {
    const char* text;
    Map params;
  } kCases[] = {
      {"", {}},
      {"x&y=1=2&y=3", {{"x", ""}, {"y", "3"}}},
      {"a=1&", {{"a", "1"}}},
      {"&", {{"", ""}}},
      {"a&&b", {{"", ""}, {"a", ""}, {"b", ""}}},
      {"=v&k=%20", {{"", "v"}, {"k", "%20"}}},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(ParseDistribParamsText(c.text), c.params) << c.text;
  }
}

}  // namespace
}  // namespace lite
