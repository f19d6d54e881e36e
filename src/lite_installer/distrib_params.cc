#include "lite_installer/distrib_params.h"

#include "lite_installer/distrib_params_parser.h"

namespace lite {

void DistribParams::LoadDistribParams() {}

DistribParams::Map DistribParams::ParseParams(std::string_view text) {
  return ParseDistribParamsText(text);
}

std::string DistribParams::Get(const std::string& key) const {
  auto it = params_.find(key);
  return it == params_.end() ? std::string() : it->second;
}

bool DistribParams::GetBool(const std::string& key) const {
  return Get(key) == "1";
}

}  // namespace lite
