#include "base/guid.h"

#include <objbase.h>

#include "base/string_util.h"

namespace base {

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper-case hexadecimal.
std::string GuidToString(const GUID& guid) {
  std::string text;
  text.reserve(38);
  text.push_back('{');
  AppendHex(&text, guid.Data1, 8, true);
  text.push_back('-');
  AppendHex(&text, guid.Data2, 4, true);
  text.push_back('-');
  AppendHex(&text, guid.Data3, 4, true);
  text.push_back('-');
  for (int i = 0; i < 8; ++i) {
    if (i == 2) text.push_back('-');
    AppendHex(&text, guid.Data4[i], 2, true);
  }
  text.push_back('}');
  return text;
}

std::string NewGuidString() {
  GUID guid;
  if (FAILED(::CoCreateGuid(&guid))) return std::string();
  return GuidToString(guid);
}

}  // namespace base
