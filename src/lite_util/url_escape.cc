#include "lite_util/url_escape.h"

namespace lite {

std::string EscapeUrlComponent(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string escaped;
  escaped.reserve(bytes.size());
  for (unsigned char c : bytes) {
    bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                (c >= '0' && c <= '9') || c == '!' || c == '\'' || c == '(' ||
                c == ')' || c == '.' || c == '_' || c == '~';
    if (keep) {
      escaped += static_cast<char>(c);
    } else {
      escaped += '%';
      escaped += kHex[c >> 4];
      escaped += kHex[c & 0xF];
    }
  }
  return escaped;
}

}  // namespace lite
