// Comment removal over arbitrary texts: the result never grows and, when
// accepted, holds no comment opener outside strings; nothing after a NUL byte
// is read.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "lite_util/json_comments.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  lite::StrippedJson result = lite::StripJsonComments(text);
  if (result.text.size() > size) __builtin_trap();
  if (!result.ok && result.error.empty()) __builtin_trap();
  // The text ends at its first NUL byte.
  if (result.text.find('\0') != std::string::npos) __builtin_trap();
  if (result.ok) {
    // Stripping again changes nothing.
    lite::StrippedJson again = lite::StripJsonComments(result.text);
    if (!again.ok || again.text != result.text) __builtin_trap();
  }
  return 0;
}
