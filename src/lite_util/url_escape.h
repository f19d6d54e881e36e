// Percent-escaping of bytes for URL fields.
#ifndef LITE_UTIL_URL_ESCAPE_H_
#define LITE_UTIL_URL_ESCAPE_H_

#include <string>
#include <string_view>

namespace lite {

// ASCII letters, digits and ! ' ( ) . _ ~ stay; every other byte becomes
// "%" and two upper-case hexadecimal digits.
std::string EscapeUrlComponent(std::string_view bytes);

}  // namespace lite

#endif  // LITE_UTIL_URL_ESCAPE_H_
