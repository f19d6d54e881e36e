// Distribution parameters: 8-bit keys and values that travel in the
// executable's signature block (or in the distr-info-params switch), parsed
// once at start-up and read-only afterwards.
#ifndef LITE_INSTALLER_BRAND_DISTRIB_PARAMS_H_
#define LITE_INSTALLER_BRAND_DISTRIB_PARAMS_H_

#include <map>
#include <string>
#include <string_view>

namespace lite {

class DistribParams {
 public:
  using Map = std::map<std::string, std::string>;

  DistribParams() = default;
  virtual ~DistribParams() = default;
  DistribParams(const DistribParams&) = delete;
  DistribParams& operator=(const DistribParams&) = delete;

  // True and the value when `key` is present.
  virtual bool Get(const std::string& key, std::string* value) const;
  // Whether the setup package travels in this executable (never here).
  virtual bool IsFullInstallerMode() const { return false; }
  // Keeps the parameter text as "DistribInfoParams" in the registry.
  virtual bool StoreParamsInRegistry(const std::string& text);
  // This executable's path (260 characters at most); empty on failure.
  virtual std::wstring OwnModulePath() const;

  // Finds the parameter text (switch, else the executable's tag), stores
  // it, parses it and writes the distribution info file. True when there
  // is at least one parameter.
  bool LoadDistribParams();

  // The value, or empty when absent.
  std::string GetValue(const std::string& key) const;
  // True when the value is "1" (`flag` true) or "2" (`flag` false);
  // otherwise false with `flag` false.
  bool GetBool(const std::string& key, bool* flag) const;

  const Map& params() const { return params_; }
  // The distribution info file's path once it was written; empty before.
  const std::wstring& distrib_info_file() const { return distrib_info_file_; }

  // Parses a parameter text (see distrib_params_parser.h).
  static Map ParseParams(std::string_view text);

 private:
  Map params_;
  std::wstring distrib_info_file_;
};

// The tag in the dummy certificates of `path`'s signature, or empty (with
// an ERROR line).
std::string ExtractTagFromFakeCertificate(const std::wstring& path);
// The tag in the "Zact" block after `path`'s signature, or empty.
std::string ReadTagBlock(const std::wstring& path);

}  // namespace lite

#endif  // LITE_INSTALLER_BRAND_DISTRIB_PARAMS_H_
