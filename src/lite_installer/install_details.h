// The install-details record: version constants and product names fixed at
// build time, created on first use and kept for the process's life.
#ifndef LITE_INSTALLER_INSTALL_DETAILS_H_
#define LITE_INSTALLER_INSTALL_DETAILS_H_

#include <string>

namespace lite {

// Whether the setup package travels in this executable's own resources.
// This build is a lite installer.
constexpr bool IsFullInstallerMode() { return false; }

class InstallDetails {
 public:
  static const InstallDetails& Get();

  // Version of the browser engine the product is built on ("a.b.c.d").
  const std::string& platform_version() const { return platform_version_; }
  // The installer's own version; equal to the file version of its version
  // resource ("a.b.c.d").
  const std::string& product_version() const { return product_version_; }
  // Install-mode suffix: empty in this product.
  const std::string& install_suffix() const { return install_suffix_; }
  const std::string& base_app_name() const { return base_app_name_; }
  const std::string& prog_id_prefix() const { return prog_id_prefix_; }
  const std::string& prog_id_description() const {
    return prog_id_description_;
  }

 private:
  InstallDetails();

  std::string platform_version_;
  std::string product_version_;
  std::string install_suffix_;
  std::string base_app_name_;
  std::string prog_id_prefix_;
  std::string prog_id_description_;
};

}  // namespace lite

#endif  // LITE_INSTALLER_INSTALL_DETAILS_H_
