#include "lite_installer/distrib_params.h"

namespace lite {

void DistribParams::LoadDistribParams() {}

DistribParams::Map DistribParams::ParseParams(std::string_view text) {
  Map params;
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

std::string DistribParams::Get(const std::string& key) const {
  auto it = params_.find(key);
  return it == params_.end() ? std::string() : it->second;
}

bool DistribParams::GetBool(const std::string& key) const {
  return Get(key) == "1";
}

}  // namespace lite
