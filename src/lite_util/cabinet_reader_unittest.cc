#include "lite_util/cabinet_reader.h"

#include <cstdint>
#include <cstring>
#include <string>

#include "gtest/gtest.h"
#include "lite_installer/bin_resources.h"

namespace lite {
namespace {

// Cabinets linked into this test (test/resources/brand_packages.rc).
std::string Cabinet(const char* name) {
  std::string bytes = BinResources().Load(std::string(name));
  EXPECT_FALSE(bytes.empty()) << name;
  return bytes;
}

uint32_t Get32(const std::string& bytes, size_t offset) {
  uint32_t value;
  std::memcpy(&value, bytes.data() + offset, 4);
  return value;
}

void Put32(std::string* bytes, size_t offset, uint32_t value) {
  std::memcpy(bytes->data() + offset, &value, 4);
}

void Put16(std::string* bytes, size_t offset, uint16_t value) {
  std::memcpy(bytes->data() + offset, &value, 2);
}

// Turns a one-folder cabinet without reserved fields into the second part
// of a set: the header names a previous cabinet and the file starts there.
std::string MakeSpanning(std::string cabinet) {
  const std::string previous("prev.cab\0disk 1\0", 16);
  const size_t header = 36;
  uint16_t flags;
  std::memcpy(&flags, cabinet.data() + 30, 2);
  Put16(&cabinet, 30, flags | 0x0001);  // cfhdrPREV_CABINET
  cabinet.insert(header, previous);
  Put32(&cabinet, 8, Get32(cabinet, 8) + previous.size());    // cbCabinet
  Put32(&cabinet, 16, Get32(cabinet, 16) + previous.size());  // coffFiles
  const size_t folder = header + previous.size();
  Put32(&cabinet, folder, Get32(cabinet, folder) + previous.size());
  Put16(&cabinet, Get32(cabinet, 16) + 8, 0xFFFD);  // continued from prev
  return cabinet;
}

TEST(CabinetReaderTest, ExtractsAllOrOnlyTheWantedFile) {
  const std::string multi = Cabinet("TEST_MULTI");
  CabinetFiles files;
  ASSERT_TRUE(ExtractFilesFromCabinet(multi, "", &files));
  ASSERT_EQ(files.size(), 3u);
  EXPECT_EQ(files["readme.txt"], "Not a configuration.\n");
  EXPECT_NE(files["brand_config"].find("\"multi\""), std::string::npos);

  const struct {
    const char* wanted;
    const char* present;  // nullptr: nothing extracted
  } kCases[] = {
      {"partner_config", "partner_config"},
      {"brand_config", "brand_config"},
      {"Brand_config", nullptr},  // names are case-sensitive
      {"brand_confi", nullptr},
      {"missing", nullptr},
  };
  for (const auto& c : kCases) {
    ASSERT_TRUE(ExtractFilesFromCabinet(multi, c.wanted, &files)) << c.wanted;
    if (c.present) {
      ASSERT_EQ(files.size(), 1u) << c.wanted;
      EXPECT_EQ(files.begin()->first, c.present);
    } else {
      EXPECT_TRUE(files.empty()) << c.wanted;
    }
  }
}

// Damaged input never crashes, and a file is only ever delivered whole.
TEST(CabinetReaderTest, DamagedCabinets) {
  const std::string good = Cabinet("TEST_INT");
  CabinetFiles original;
  ASSERT_TRUE(ExtractFilesFromCabinet(good, "", &original));
  ASSERT_EQ(original.size(), 1u);

  auto patched = [&good](size_t offset, uint32_t value) {
    std::string bytes = good;
    Put32(&bytes, offset, value);
    return bytes;
  };
  const struct {
    const char* name;
    std::string bytes;
  } kCases[] = {
      {"empty", ""},
      {"signature only", good.substr(0, 4)},
      {"header only", good.substr(0, 36)},
      {"cut in the file table", good.substr(0, 50)},
      {"cut in the data", good.substr(0, good.size() / 2)},
      {"last byte missing", good.substr(0, good.size() - 1)},
      {"wrong signature", patched(0, 0x4643534E)},
      {"cabinet size of 2 GiB", patched(8, 0x80000000u)},
      {"file table beyond the end", patched(16, 0x7FFFFFF0u)},
      {"folder data beyond the end", patched(36, 0x7FFFFFF0u)},
      {"file of 4 GiB", patched(Get32(good, 16), 0xFFFFFFFFu)},
      {"spanning set", MakeSpanning(good)},
  };
  for (const auto& c : kCases) {
    CabinetFiles files;
    bool ok = ExtractFilesFromCabinet(c.bytes, "", &files);
    for (const auto& [name, bytes] : files) {
      EXPECT_EQ(bytes, original.begin()->second) << c.name << ": " << name;
    }
    if (std::string(c.name) == "spanning set") {
      EXPECT_FALSE(ok) << c.name;
      EXPECT_TRUE(files.empty()) << c.name;
    }
  }
}

}  // namespace
}  // namespace lite
