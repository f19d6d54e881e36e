#include "lite_installer/brand/installer_tag.h"

#include <optional>

#include "lite_util/der_walker.h"

namespace lite {

namespace {

constexpr uint8_t kDummyPrefix[112] = {
    0xa0, 0x03, 0x02, 0x01, 0x02, 0x02, 0x01, 0x01, 0x30, 0x0d, 0x06, 0x09,
    0x2a, 0x86, 0x48, 0x86, 0xf7, 0x0d, 0x01, 0x01, 0x05, 0x05, 0x00, 0x30,
    0x19, 0x31, 0x17, 0x30, 0x15, 0x06, 0x03, 0x55, 0x04, 0x03, 0x13, 0x0e,
    0x55, 0x6e, 0x6b, 0x6e, 0x6f, 0x77, 0x6e, 0x20, 0x69, 0x73, 0x73, 0x75,
    0x65, 0x72, 0x30, 0x1e, 0x17, 0x0d, 0x31, 0x33, 0x30, 0x31, 0x30, 0x31,
    0x31, 0x30, 0x30, 0x30, 0x30, 0x30, 0x5a, 0x17, 0x0d, 0x31, 0x33, 0x30,
    0x34, 0x30, 0x31, 0x31, 0x30, 0x30, 0x30, 0x30, 0x30, 0x5a, 0x30, 0x1c,
    0x31, 0x1a, 0x30, 0x18, 0x06, 0x03, 0x55, 0x04, 0x03, 0x13, 0x11, 0x44,
    0x75, 0x6d, 0x6d, 0x79, 0x20, 0x63, 0x65, 0x72, 0x74, 0x69, 0x66, 0x69,
    0x63, 0x61, 0x74, 0x65};

// Little- and big-endian reads that fail instead of reading past the data.
std::optional<uint32_t> ReadLe32(std::span<const uint8_t> data,
                                 uint64_t offset) {
  if (offset > data.size() || data.size() - offset < 4) return std::nullopt;
  return static_cast<uint32_t>(data[offset]) |
         static_cast<uint32_t>(data[offset + 1]) << 8 |
         static_cast<uint32_t>(data[offset + 2]) << 16 |
         static_cast<uint32_t>(data[offset + 3]) << 24;
}

std::optional<uint16_t> ReadLe16(std::span<const uint8_t> data,
                                 uint64_t offset) {
  if (offset > data.size() || data.size() - offset < 2) return std::nullopt;
  return static_cast<uint16_t>(data[offset] | data[offset + 1] << 8);
}

std::optional<uint16_t> ReadBe16(std::span<const uint8_t> data,
                                 uint64_t offset) {
  if (offset > data.size() || data.size() - offset < 2) return std::nullopt;
  return static_cast<uint16_t>(data[offset] << 8 | data[offset + 1]);
}

bool HasPeSignature(std::span<const uint8_t> data, uint64_t offset) {
  std::optional<uint32_t> signature = ReadLe32(data, offset);
  return signature && *signature == 0x00004550;  // "PE\0\0"
}

// The certificate table's [offset, offset + size) from the PE headers.
std::optional<std::pair<uint64_t, uint64_t>> FindCertificateTable(
    std::span<const uint8_t> file) {
  if (file.size() < 64) return std::nullopt;
  uint64_t pe = *ReadLe32(file, 60);
  if (pe + 96 > file.size() || !HasPeSignature(file, pe)) return std::nullopt;
  std::optional<uint16_t> magic = ReadLe16(file, pe + 24);
  uint64_t directories;
  if (magic == 0x10B) {
    directories = pe + 24 + 96;
  } else if (magic == 0x20B) {
    directories = pe + 24 + 112;
  } else {
    return std::nullopt;
  }
  if (directories + 5 * 8 > file.size()) return std::nullopt;
  uint64_t offset = *ReadLe32(file, directories + 4 * 8);
  uint64_t size = *ReadLe32(file, directories + 4 * 8 + 4);
  if (offset + size > file.size()) return std::nullopt;
  return std::make_pair(offset, size);
}

// The tag text of one dummy certificate, or nothing when its extension walk
// fails. `certificate` stands at the Certificate element.
std::optional<std::string> DummyCertificateText(DerWalker certificate) {
  std::optional<DerWalker> cert = certificate.Enter();
  if (!cert) return std::nullopt;
  std::optional<DerWalker> tbs = cert->Enter();
  if (!tbs || !tbs->SkipElements(7)) return std::nullopt;
  std::optional<DerWalker> explicit_extensions = tbs->Enter();
  if (!explicit_extensions) return std::nullopt;
  std::optional<DerWalker> extensions = explicit_extensions->Enter();
  if (!extensions || !extensions->SkipElements(3)) return std::nullopt;
  std::optional<DerWalker> extension = extensions->Enter();
  if (!extension || !extension->Skip()) return std::nullopt;
  std::optional<DerWalker> value = extension->Enter();
  if (!value) return std::nullopt;
  std::span<const uint8_t> content = value->Remaining();
  if (content.size() < 2) return std::nullopt;
  size_t length = static_cast<size_t>(content[0] << 8 | content[1]);
  if (content.size() - 2 < length) return std::nullopt;
  return std::string(reinterpret_cast<const char*>(content.data() + 2), length);
}

}  // namespace

std::span<const uint8_t> DummyCertificatePrefix() { return kDummyPrefix; }

CertificateTag ExtractTagFromCertificateTable(std::span<const uint8_t> file) {
  CertificateTag result;
  auto table = FindCertificateTable(file);
  if (!table) {
    result.error = TagReadError::kNoCertificateTable;
    return result;
  }
  const auto [table_offset, table_size] = *table;
  // The first entry: an 8-byte header, then the PKCS #7 ContentInfo.
  DerWalker table_walker(file, table_offset + 8, table_offset + table_size);
  if (table_size < 8 || !table_walker.ReadHeader()) {
    result.error = TagReadError::kNoCertificateTable;
    return result;
  }

  result.error = TagReadError::kInvalidAsn1;
  std::optional<DerWalker> content_info = table_walker.Enter();
  if (!content_info || !content_info->Skip()) return result;  // contentType
  std::optional<DerWalker> explicit_content = content_info->Enter();
  if (!explicit_content) return result;
  std::optional<DerWalker> signed_data = explicit_content->Enter();
  // version, digestAlgorithms, encapContentInfo
  if (!signed_data || !signed_data->SkipElements(3)) return result;
  std::optional<DerWalker> certificates = signed_data->Enter();
  if (!certificates) return result;

  std::string tag;
  while (!certificates->AtEnd()) {
    std::optional<DerWalker> certificate = certificates->Enter();
    if (!certificate) return result;
    std::optional<DerWalker> tbs = certificate->Enter();
    if (!tbs) return result;
    std::span<const uint8_t> tbs_content = tbs->Remaining();
    if (tbs_content.size() >= sizeof(kDummyPrefix) &&
        std::equal(std::begin(kDummyPrefix), std::end(kDummyPrefix),
                   tbs_content.begin())) {
      if (auto text = DummyCertificateText(*certificates)) tag += *text;
    }
    if (!certificates->Skip()) return result;
  }
  result.error = TagReadError::kNone;
  result.tag = std::move(tag);
  return result;
}

std::string ReadTagBlockFromBytes(std::span<const uint8_t> file) {
  if (file.size() < 64 || file[0] != 'M' || file[1] != 'Z') return {};
  uint64_t pe = *ReadLe32(file, 60);
  if (!HasPeSignature(file, pe)) return {};
  std::optional<uint32_t> table = ReadLe32(file, pe + 152);
  if (!table || *table == 0) return {};
  uint64_t c = *table;
  if (c + 10 > file.size() || file[c + 8] != 0x30 || file[c + 9] != 0x82) {
    return {};
  }
  std::optional<uint16_t> blob_length = ReadBe16(file, c + 10);
  if (!blob_length) return {};
  uint64_t block = c + ((static_cast<uint64_t>(*blob_length) + 19) & ~7ull);
  if (block + 6 > file.size() || file[block] != 'Z' || file[block + 1] != 'a' ||
      file[block + 2] != 'c' || file[block + 3] != 't') {
    return {};
  }
  uint64_t length = *ReadBe16(file, block + 4);
  if (file.size() - (block + 6) < length) return {};
  return std::string(reinterpret_cast<const char*>(file.data() + block + 6),
                     static_cast<size_t>(length));
}

}  // namespace lite
