// The signers a setup package trusts, as its own trusted list names them.
#ifndef LITE_UTIL_TRUSTED_CERTIFICATE_LIST_H_
#define LITE_UTIL_TRUSTED_CERTIFICATE_LIST_H_

#include <cstdint>
#include <map>
#include <optional>
#include <string_view>
#include <vector>

#include "lite_util/trust_bytes.h"

namespace lite {

// Entries ordered by certificate id (bytes compared unsigned); the first
// entry with an id wins, later ones with the same id are dropped.
class TrustedCertificateList {
 public:
  struct Entry {
    // SHA-256 of the signer's public key; none when the list gave no
    // well-formed "pub_key".
    std::optional<Sha256Digest> public_key_digest;
  };

  TrustedCertificateList() = default;

  // Reads {"trusted_info": {"certificates": [{"id": <Base64>, "pub_key":
  // <64 hex digits>}, ...]}} (comments allowed). Members that are not
  // objects, have no string "id" or whose id is not Base64 are skipped; any
  // other shape gives an empty list.
  static TrustedCertificateList FromJson(std::string_view json);

  // False when the id is already listed.
  bool Add(std::vector<uint8_t> id, std::optional<Sha256Digest> digest);

  const Entry* Find(const std::vector<uint8_t>& id) const;

  bool empty() const { return entries_.empty(); }
  size_t size() const { return entries_.size(); }

 private:
  // Unsigned bytes, shorter first on a common prefix. (Written out: GCC 12
  // warns falsely about the memcmp in std::vector's own comparison.)
  struct IdLess {
    bool operator()(const std::vector<uint8_t>& a,
                    const std::vector<uint8_t>& b) const;
  };
  std::map<std::vector<uint8_t>, Entry, IdLess> entries_;
};

}  // namespace lite

#endif  // LITE_UTIL_TRUSTED_CERTIFICATE_LIST_H_
