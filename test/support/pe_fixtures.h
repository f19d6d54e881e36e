// Small PE files with signatures built byte by byte, for the tag readers'
// tests: dummy certificates, ordinary certificates, tag blocks.
#ifndef TEST_SUPPORT_PE_FIXTURES_H_
#define TEST_SUPPORT_PE_FIXTURES_H_

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "lite_installer/brand/installer_tag.h"

namespace lite::test_fixtures {

using Bytes = std::vector<uint8_t>;

inline Bytes Der(uint8_t tag, const Bytes& content) {
  Bytes out = {tag};
  size_t n = content.size();
  if (n < 0x80) {
    out.push_back(static_cast<uint8_t>(n));
  } else if (n < 0x100) {
    out.insert(out.end(), {0x81, static_cast<uint8_t>(n)});
  } else {
    out.insert(out.end(),
               {0x82, static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n)});
  }
  out.insert(out.end(), content.begin(), content.end());
  return out;
}

inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts)
    out.insert(out.end(), part.begin(), part.end());
  return out;
}

inline Bytes Text(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

// A dummy certificate whose fourth extension carries `text`; `announced`
// overrides the 16-bit length in front of the text.
inline Bytes DummyCertificate(const std::string& text, int announced = -1) {
  size_t length = announced < 0 ? text.size() : static_cast<size_t>(announced);
  Bytes value =
      Cat({{static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)},
           Text(text)});
  Bytes empty_extension = Der(0x30, Der(0x06, {0x55, 0x1d, 0x0e}));
  Bytes fourth =
      Der(0x30, Cat({Der(0x06, {0x2b, 0x06, 0x01}), Der(0x04, value)}));
  Bytes extensions = Der(0xA3, Der(0x30, Cat({empty_extension, empty_extension,
                                              empty_extension, fourth})));
  auto prefix = DummyCertificatePrefix();
  Bytes tbs = Der(0x30, Cat({Bytes(prefix.begin(), prefix.end()),
                             Der(0x30, {0x05, 0x00}), extensions}));
  return Der(0x30, Cat({tbs, Der(0x30, {0x05, 0x00}), Der(0x03, {0x00})}));
}

inline Bytes OrdinaryCertificate() {
  Bytes tbs = Der(0x30, Cat({Der(0xA0, Der(0x02, {0x02})), Der(0x02, {0x07}),
                             Bytes(120, 0x05)}));
  return Der(0x30, Cat({tbs, Der(0x30, {}), Der(0x03, {0x00})}));
}

// PKCS #7 ContentInfo holding SignedData with the given certificates.
inline Bytes Signature(const Bytes& certificates) {
  Bytes signed_data = Der(
      0x30, Cat({Der(0x02, {0x01}), Der(0x31, {}), Der(0x30, Der(0x06, {0x2b})),
                 Der(0xA0, certificates), Der(0x31, {})}));
  return Der(0x30,
             Cat({Der(0x06, {0x2a, 0x86, 0x48}), Der(0xA0, signed_data)}));
}

inline void PutLe32(Bytes& data, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i)
    data[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

// A minimal PE file (headers only) with `table` as its certificate table.
inline Bytes PeWithCertificateTable(const Bytes& table,
                                    uint16_t magic = 0x10B) {
  const size_t pe = 0x80;
  const size_t directories = pe + 24 + (magic == 0x10B ? 96 : 112);
  Bytes file(0x200, 0);
  file[0] = 'M';
  file[1] = 'Z';
  PutLe32(file, 60, pe);
  file[pe] = 'P';
  file[pe + 1] = 'E';
  file[pe + 24] = static_cast<uint8_t>(magic);
  file[pe + 25] = static_cast<uint8_t>(magic >> 8);
  if (!table.empty()) {
    PutLe32(file, directories + 32, static_cast<uint32_t>(file.size()));
    PutLe32(file, directories + 36, static_cast<uint32_t>(table.size()));
    file.insert(file.end(), table.begin(), table.end());
  }
  return file;
}

inline Bytes CertificateEntry(const Bytes& signature) {
  Bytes entry(8, 0);
  PutLe32(entry, 0, static_cast<uint32_t>(8 + signature.size()));
  entry[5] = 0x02;
  entry[6] = 0x02;
  entry.insert(entry.end(), signature.begin(), signature.end());
  while (entry.size() % 8) entry.push_back(0);
  return entry;
}

// A PE with a signature blob of `blob_length` bytes and a tag block after it.
inline Bytes PeWithTagBlock(uint16_t blob_length, const std::string& text,
                            int announced = -1) {
  Bytes file = PeWithCertificateTable({});
  const size_t table = file.size();
  PutLe32(file, 0x80 + 152, static_cast<uint32_t>(table));
  Bytes entry(8, 0);
  entry.insert(entry.end(), {0x30, 0x82, static_cast<uint8_t>(blob_length >> 8),
                             static_cast<uint8_t>(blob_length)});
  entry.resize(8 + 4 + blob_length, 0xEE);
  while (entry.size() % 8) entry.push_back(0);
  size_t length = announced < 0 ? text.size() : static_cast<size_t>(announced);
  entry.insert(entry.end(),
               {'Z', 'a', 'c', 't', static_cast<uint8_t>(length >> 8),
                static_cast<uint8_t>(length)});
  entry.insert(entry.end(), text.begin(), text.end());
  file.insert(file.end(), entry.begin(), entry.end());
  return file;
}

}  // namespace lite::test_fixtures

#endif  // TEST_SUPPORT_PE_FIXTURES_H_
