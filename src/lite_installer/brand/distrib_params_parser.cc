#include "lite_installer/brand/distrib_params_parser.h"

namespace lite {

std::map<std::string, std::string> ParseDistribParamsText(
    std::string_view text) {
  std::map<std::string, std::string> params;
  while (!text.empty()) {
    size_t ampersand = text.find('&');
    std::string_view item = text.substr(0, ampersand);
    size_t equals = item.find('=');
    std::string_view key = item.substr(0, equals);
    std::string_view value = equals == std::string_view::npos
                                 ? std::string_view()
                                 : item.substr(equals + 1);
    params[std::string(key)] = std::string(value);
    if (ampersand == std::string_view::npos) break;
    text.remove_prefix(ampersand + 1);
  }
  return params;
}

}  // namespace lite
