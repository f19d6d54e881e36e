// The syntax of distribution parameter texts: "key=value" items joined by
// "&". Byte-level; keys and values are raw bytes, nothing is decoded.
#ifndef LITE_INSTALLER_BRAND_DISTRIB_PARAMS_PARSER_H_
#define LITE_INSTALLER_BRAND_DISTRIB_PARAMS_PARSER_H_

#include <map>
#include <string>
#include <string_view>

namespace lite {

// The empty item after a trailing "&" is ignored, every other item counts
// (an empty item gives the empty key); an item without "=" has an empty
// value; further "=" belong to the value; later items replace earlier ones.
std::map<std::string, std::string> ParseDistribParamsText(
    std::string_view text);

}  // namespace lite

#endif  // LITE_INSTALLER_BRAND_DISTRIB_PARAMS_PARSER_H_
