// The installer controller's part in verifying the setup package.
#include "lite_installer/install_details.h"
#include "lite_installer/installer.h"
#include "lite_util/zarvex_trust_verifier_win.h"

namespace lite {

bool Installer::VerifyModule(const std::wstring& path) {
  return VerifyWithTrustedList(path, GetTrustJsonFromModule(path),
                               IsFullInstallerMode());
}

bool Installer::VerifyWithTrustedList(const std::wstring& path,
                                      const std::string& json,
                                      bool prevents_network_use) {
  TrustVerifier verifier(json);
  bool trusted = RunTrustVerifier(verifier, path, prevents_network_use);
  if (!trusted && prevents_network_use) {
    trusted = RunTrustVerifier(verifier, path, false);
  }
  return trusted;
}

bool Installer::RunTrustVerifier(TrustVerifier& verifier,
                                 const std::wstring& path,
                                 bool prevents_network_use) {
  return verifier.VerifyModule(path, prevents_network_use);
}

}  // namespace lite
