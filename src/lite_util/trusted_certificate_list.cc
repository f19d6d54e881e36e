#include "lite_util/trusted_certificate_list.h"

#include <jansson.h>

#include <utility>

#include "base/base64.h"
#include "lite_util/json_with_comments.h"

namespace lite {

TrustedCertificateList TrustedCertificateList::FromJson(std::string_view json) {
  TrustedCertificateList list;
  ScopedJson root = LoadJsonWithComments(json);
  if (!root || !json_is_object(root.get())) return list;
  json_t* info = json_object_get(root.get(), "trusted_info");
  if (!json_is_object(info)) return list;
  json_t* certificates = json_object_get(info, "certificates");
  if (!json_is_array(certificates)) return list;
  size_t index;
  json_t* member;
  json_array_foreach(certificates, index, member) {
    if (!json_is_object(member)) continue;
    json_t* id = json_object_get(member, "id");
    if (!json_is_string(id)) continue;
    std::optional<std::vector<uint8_t>> id_bytes = base::Base64Decode(
        std::string_view(json_string_value(id), json_string_length(id)));
    if (!id_bytes) continue;
    std::optional<Sha256Digest> digest;
    json_t* pub_key = json_object_get(member, "pub_key");
    if (json_is_string(pub_key)) {
      digest = ParseHexDigest(std::string_view(json_string_value(pub_key),
                                               json_string_length(pub_key)));
    }
    list.Add(std::move(*id_bytes), digest);
  }
  return list;
}

bool TrustedCertificateList::IdLess::operator()(
    const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) const {
  size_t common = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < common; ++i) {
    if (a[i] != b[i]) return a[i] < b[i];
  }
  return a.size() < b.size();
}

bool TrustedCertificateList::Add(std::vector<uint8_t> id,
                                 std::optional<Sha256Digest> digest) {
  return entries_.emplace(std::move(id), Entry{digest}).second;
}

const TrustedCertificateList::Entry* TrustedCertificateList::Find(
    const std::vector<uint8_t>& id) const {
  auto it = entries_.find(id);
  return it == entries_.end() ? nullptr : &it->second;
}

}  // namespace lite
