// The statistics events of an installation: their fields and values.
#ifndef LITE_INSTALLER_INSTALLER_EVENTS_H_
#define LITE_INSTALLER_INSTALLER_EVENTS_H_

#include <cstdint>
#include <string>

#include "lite_util/download_urls.h"
#include "lite_util/install_stat_sender.h"

namespace lite {

StatEvent InstallerStartedEvent(int dpi, int screen_width, int screen_height);
StatEvent DownloadStartedEvent();
StatEvent DownloadErrorEvent(int attempt_number, const std::string& error);

struct DownloadAttempt {
  bool succeeded = false;
  std::string error;  // failed attempts
  int attempt_number = 1;
  uint32_t downloaded_size = 0;
  uint32_t total_size = 0;
  std::string url;
  std::wstring redirect_target;
  BuildFlavour flavour = BuildFlavour::kNone;
};
StatEvent DownloadAttemptEvent(const DownloadAttempt& attempt);

StatEvent DownloadFinishedEvent(int64_t download_time_us);
StatEvent SetupArcLockErrorEvent();
StatEvent VerificationErrorEvent();
// `update`: a browser was installed before (the sender knows an old_ver).
StatEvent SetupLaunchedEvent(bool update, const std::wstring& uac);
// `error` empty: no error field.
StatEvent SetupExitedEvent(bool update, const std::wstring& error,
                           int64_t setup_time_us);
// The `error` field of "setup_exe_exited" for a setup run in this process:
// "FailedToStart" when its process could not be created, otherwise the
// installer's result code, except for 1, 3 and 5 (no field).
std::wstring SetupExitedError(bool started, int result_code);
StatEvent InstallButtonClickedEvent();

// Dialog events (no action; dialog_window "liteinstall").
StatEvent DialogButtonEvent(const std::wstring& button);
StatEvent DialogLinkEvent(const std::wstring& url);
StatEvent DialogCheckboxEvent(const std::wstring& checkbox);

// The host of a redirect target, canonicalized; empty when it cannot be
// taken apart.
std::wstring RedirectHost(const std::wstring& target);

}  // namespace lite

#endif  // LITE_INSTALLER_INSTALLER_EVENTS_H_
