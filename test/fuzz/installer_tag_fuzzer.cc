// Both tag readers over arbitrary file bytes.
#include <cstddef>
#include <cstdint>
#include <span>

#include "lite_installer/brand/installer_tag.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::span<const uint8_t> file(data, size);
  lite::CertificateTag tag = lite::ExtractTagFromCertificateTable(file);
  if (tag.error != lite::TagReadError::kNone && !tag.tag.empty())
    __builtin_trap();
  if (tag.tag.size() > size) __builtin_trap();
  if (lite::ReadTagBlockFromBytes(file).size() > size) __builtin_trap();
  return 0;
}
