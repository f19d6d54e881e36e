#include "lite_util/trusted_certificate_list.h"

#include <string>
#include <vector>

#include "gtest/gtest.h"

namespace lite {
namespace {

const std::string kDigestA(64, 'a');
const std::string kDigestB(64, 'b');

std::string List(const std::string& certificates) {
  return "{\"trusted_info\": {\"certificates\": " + certificates + "}}";
}

TEST(TrustedCertificateListTest, ShapesThatGiveNoList) {
  for (const std::string& json :
       {std::string(), std::string("[]"), std::string("{}"),
        std::string("{\"trusted_info\": []}"),
        std::string("{\"trusted_info\": {\"certificates\": {}}}"),
        std::string("{\"trusted_info\": {}}"), List("[]"),
        List("[{\"id\": \"AQ==\"}") /* cut short */}) {
    EXPECT_TRUE(TrustedCertificateList::FromJson(json).empty()) << json;
  }
}

TEST(TrustedCertificateListTest, MembersAndTheirKeys) {
  // "AQI=" is {1, 2}; "AQ==" is {1}; "Ag==" is {2}.
  std::string json = "// signed by key 3\n" +
                     List(
                         "[1, \"AQ==\", [], {}, {\"id\": 7}, {\"id\": null},"
                         " {\"id\": \"AQ\"}, {\"id\": \"A Q==\"},"
                         " {\"id\": \"AQI=\", \"pub_key\": \"" +
                         kDigestA +
                         "\"},"
                         " {\"id\": \"AQI=\", \"pub_key\": \"" +
                         kDigestB +
                         "\"},"
                         " {\"id\": \"AQ==\", \"pub_key\": \"not hex\"},"
                         " {\"id\": \"Ag==\", \"pub_key\": 5} /* no key */]");
  TrustedCertificateList list = TrustedCertificateList::FromJson(json);
  EXPECT_EQ(list.size(), 3u);

  const TrustedCertificateList::Entry* first = list.Find({1, 2});
  ASSERT_TRUE(first);
  ASSERT_TRUE(first->public_key_digest);  // the first entry's digest wins
  EXPECT_EQ((*first->public_key_digest)[0], 0xaa);

  for (const std::vector<uint8_t>& id :
       {std::vector<uint8_t>{1}, std::vector<uint8_t>{2}}) {
    const TrustedCertificateList::Entry* entry = list.Find(id);
    ASSERT_TRUE(entry);
    EXPECT_FALSE(entry->public_key_digest);
  }
  EXPECT_FALSE(list.Find({2, 1}));
  EXPECT_FALSE(list.Find({}));
}

}  // namespace
}  // namespace lite
