#include "lite_installer/install_details.h"

#include "lite_installer/version_constants.h"

namespace lite {

InstallDetails::InstallDetails()
    : platform_version_(LITE_PLATFORM_VERSION),
      product_version_(LITE_PRODUCT_VERSION),
      install_suffix_(""),
      base_app_name_("Zarvex"),
      prog_id_prefix_("ZarvexHTML"),
      prog_id_description_("Zarvex HTML Document") {}

const InstallDetails& InstallDetails::Get() {
  static const InstallDetails details;  // thread-safe initialisation
  return details;
}

}  // namespace lite
