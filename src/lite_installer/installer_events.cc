#include "lite_installer/installer_events.h"

#include <windows.h>

#include <wininet.h>

#include <vector>

#include "base/string_util.h"
#include "lite_util/url_escape.h"

namespace lite {
namespace {

constexpr DWORD kUrlBufferSize = 2084;

std::wstring Number(int64_t value) {
  return base::UTF8ToWide(base::NumberToString(value));
}

StatEvent Action(const wchar_t* action, const wchar_t* stage = nullptr) {
  StatEvent event;
  event["action"] = action;
  if (stage) event["stage"] = stage;
  return event;
}

std::wstring Seconds(int64_t microseconds) {
  return Number(microseconds / 1000000);
}

}  // namespace

StatEvent InstallerStartedEvent(int dpi, int screen_width, int screen_height) {
  StatEvent event = Action(L"installer_started");
  event["dpi"] = Number(dpi);
  event["resolution"] = Number(screen_width) + L"x" + Number(screen_height);
  return event;
}

StatEvent DownloadStartedEvent() { return Action(L"download", L"started"); }

StatEvent DownloadErrorEvent(int attempt_number, const std::string& error) {
  StatEvent event = Action(L"download", L"error");
  event["error"] =
      L"attempt-" + Number(attempt_number) + L"-" + base::UTF8ToWide(error);
  return event;
}

StatEvent DownloadAttemptEvent(const DownloadAttempt& attempt) {
  StatEvent event = Action(L"download_attempt");
  event["status"] = attempt.succeeded ? L"success" : L"failed";
  if (!attempt.succeeded) event["error"] = base::UTF8ToWide(attempt.error);
  event["attempt_number"] = Number(attempt.attempt_number);
  event["downloaded_size"] = Number(attempt.downloaded_size);
  event["total_size"] = Number(attempt.total_size);
  if (!attempt.url.empty()) {
    event["url"] =
        base::UTF8ToWide(EscapeUrlComponent(EscapeUrlComponent(attempt.url)));
  }
  std::wstring host = RedirectHost(attempt.redirect_target);
  if (!host.empty()) event["redirect"] = host;
  if (attempt.flavour == BuildFlavour::kX64) event["x64"] = L"1";
  return event;
}

StatEvent DownloadFinishedEvent(int64_t download_time_us) {
  StatEvent event = Action(L"download", L"finished");
  event["download_time"] = Seconds(download_time_us);
  return event;
}

StatEvent SetupArcLockErrorEvent() {
  return Action(L"setup_arc_lock", L"error");
}

StatEvent VerificationErrorEvent() { return Action(L"verification", L"error"); }

StatEvent SetupLaunchedEvent(bool update, const std::wstring& uac) {
  StatEvent event =
      Action(update ? L"update" : L"setup", L"setup_exe_launched");
  event["uac"] = uac;
  return event;
}

StatEvent SetupExitedEvent(bool update, const std::wstring& error,
                           int64_t setup_time_us) {
  StatEvent event = Action(update ? L"update" : L"setup", L"setup_exe_exited");
  if (!error.empty()) event["error"] = error;
  event["setup_time"] = Seconds(setup_time_us);
  return event;
}

std::wstring SetupExitedError(bool started, int result_code) {
  if (!started) return L"FailedToStart";
  if (result_code == 1 || result_code == 3 || result_code == 5) {
    return std::wstring();
  }
  return base::UTF8ToWide(
      base::NumberToString(static_cast<int32_t>(result_code)));
}

StatEvent InstallButtonClickedEvent() {
  return Action(L"install_browser_button_clicked");
}

StatEvent DialogButtonEvent(const std::wstring& button) {
  return {{"clicked_button", button}, {"dialog_window", L"liteinstall"}};
}

StatEvent DialogLinkEvent(const std::wstring& url) {
  return {{"clicked_link", url}, {"dialog_window", L"liteinstall"}};
}

StatEvent DialogCheckboxEvent(const std::wstring& checkbox) {
  return {{"choosen_checkbox", checkbox}, {"dialog_window", L"liteinstall"}};
}

std::wstring RedirectHost(const std::wstring& target) {
  if (target.empty()) return std::wstring();
  std::vector<wchar_t> canonical(kUrlBufferSize);
  DWORD size = kUrlBufferSize;
  if (!::InternetCanonicalizeUrlW(target.c_str(), canonical.data(), &size,
                                  ICU_BROWSER_MODE)) {
    return std::wstring();
  }
  std::vector<wchar_t> host(kUrlBufferSize);
  URL_COMPONENTSW parts = {};
  parts.dwStructSize = sizeof(parts);
  parts.lpszHostName = host.data();
  parts.dwHostNameLength = kUrlBufferSize;
  if (!::InternetCrackUrlW(canonical.data(), 0, ICU_DECODE, &parts)) {
    return std::wstring();
  }
  return std::wstring(parts.lpszHostName, parts.dwHostNameLength);
}

}  // namespace lite
