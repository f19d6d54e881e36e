// Distribution parameters: 8-bit keys and values that travel in the
// executable's signature block or in the distr-info-params switch.
//
// For now only the switch form is read; the signature-block readers follow.
#ifndef LITE_INSTALLER_DISTRIB_PARAMS_H_
#define LITE_INSTALLER_DISTRIB_PARAMS_H_

#include <map>
#include <string>
#include <string_view>

namespace lite {

class DistribParams {
 public:
  using Map = std::map<std::string, std::string>;

  DistribParams() = default;
  virtual ~DistribParams() = default;

  // Loads the parameters of this process.
  virtual void LoadDistribParams();

  // Parses a parameter text (see distrib_params_parser.h).
  static Map ParseParams(std::string_view text);

  // Empty when absent.
  std::string Get(const std::string& key) const;
  // "1" is true; anything else false.
  bool GetBool(const std::string& key) const;
  const Map& params() const { return params_; }

  // Path of the distribution info file once it is written; empty before.
  const std::wstring& distrib_info_file() const { return distrib_info_file_; }

 protected:
  Map params_;
  std::wstring distrib_info_file_;
};

}  // namespace lite

#endif  // LITE_INSTALLER_DISTRIB_PARAMS_H_
