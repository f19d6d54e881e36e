// The distribution info file handed to the setup: the distribution
// parameters as one JSON object.
#ifndef LITE_INSTALLER_BRAND_DISTRIB_INFO_FILE_H_
#define LITE_INSTALLER_BRAND_DISTRIB_INFO_FILE_H_

#include <map>
#include <optional>
#include <string>

namespace lite {

// The file's text: members in key order, values as strings, indented by
// two, no final line break. Pairs that are not valid UTF-8 are left out.
std::optional<std::string> DistribParamsJson(
    const std::map<std::string, std::string>& params);

// Writes the file as `temp_directory` + "distrib_info" (replacing an old
// one) and returns that path, also when writing failed. Without a usable
// temporary directory nothing is written and the path is empty.
std::wstring CreateJsonFromDistribParams(
    const std::map<std::string, std::string>& params,
    const std::wstring& temp_directory);

}  // namespace lite

#endif  // LITE_INSTALLER_BRAND_DISTRIB_INFO_FILE_H_
