#include "lite_installer/installer.h"

#include "lite_util/logging/log_message.h"
#include "lite_util/system_checks.h"

namespace lite {

Installer::Installer(InstallerDelegate* delegate, const BrandInfo* brand_info,
                     const DistribParams* distrib_params, bool background_tasks)
    : delegate_(delegate),
      brand_info_(brand_info),
      distrib_params_(distrib_params),
      background_tasks_(background_tasks) {}

Installer::~Installer() = default;

void Installer::SetMakeDefaultBrowser(bool make_default) {
  int version = WindowsVersion();
  bool windows8 = version == 5 || version == 6;
  make_default_browser_ = make_default && !windows8;
}

void Installer::InstallSilently() {
  LOG(INFO) << "Installation steps are not available in this build.";
}

}  // namespace lite
