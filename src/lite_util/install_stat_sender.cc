#include "lite_util/install_stat_sender.h"

#include <windows.h>

#include <shlwapi.h>

#include <vector>

#include "base/file_util.h"
#include "base/file_version.h"
#include "base/scoped_handle.h"
#include "base/string_util.h"
#include "lite_util/installer_registry.h"
#include "lite_util/logging/log_message.h"
#include "lite_util/service_hosts.h"
#include "lite_util/user_id.h"

namespace lite {
namespace {

constexpr wchar_t kInstallStatValue[] = L"install_stat";
constexpr size_t kEscapeBufferSize = 2084;

struct StatPath {
  int cid;
  const char* path;
};

constexpr StatPath kStatPaths[] = {
    {72992, "extended_stat"},
    {72696, "zvbrowser_reinstall_dialog"},
    {72696, "zvbrowser_pf_migration"},
    {72924, "zombo_window"},
};

std::wstring Escape(const std::wstring& text) {
  std::vector<wchar_t> buffer(kEscapeBufferSize);
  DWORD size = static_cast<DWORD>(buffer.size());
  if (FAILED(::UrlEscapeW(text.c_str(), buffer.data(), &size,
                          URL_ESCAPE_SEGMENT_ONLY))) {
    return std::wstring();
  }
  return std::wstring(buffer.data(), size);
}

// True when the installer that launched the setup announced, through a
// named event, that it did so successfully.
bool WasLaunched() {
  std::wstring text = ReadInstallerValue(L"InstallerSuccessLaunchCmdLine");
  if (text.size() <= 2) return false;
  if (text.front() == L'"') text.erase(0, 1);
  if (!text.empty() && text.back() == L'"') text.pop_back();
  for (wchar_t& c : text) {
    if (c == L'\\') c = L'!';
  }
  ::CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
  base::ScopedHandle event(
      ::OpenEventW(SYNCHRONIZE, FALSE, (L"Global\\" + text).c_str()));
  return event.IsValid();
}

}  // namespace

const char* InstallerTypeName(int installer_type) {
  switch (installer_type) {
    case 1:
      return "full";
    case 2:
      return "updater";
    case 3:
      return "service";
    case 4:
      return "service_audit";
    case 5:
      return "browser_diagnostics";
    case -1:
      return "-1";
    default:
      return "lite";
  }
}

const char* StatTargetName(int install_type) {
  switch (install_type) {
    case 1:
      return "mini";
    case 2:
      return "service";
    case 3:
      return "unknown";
    case 4:
      return "icu_dat";
    case 5:
      return "icu_dat_lock_failed";
    case 6:
      return "version_folder_files_check";
    case -1:
      return "-1";
    default:
      return "";
  }
}

std::wstring FormatStatParams(const StatEvent& params) {
  std::wstring text;
  for (const auto& [name, value] : params) {
    text += base::UTF8ToWide(name) + L"\n" + value + L"\n";
  }
  return text;
}

void ParseStatParams(const std::wstring& text, StatEvent* params) {
  std::vector<std::wstring> pieces;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos) end = text.size();
    pieces.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  for (size_t i = 0; i + 1 < pieces.size(); i += 2) {
    params->emplace(base::WideToUTF8(pieces[i]), pieces[i + 1]);
  }
}

std::wstring BuildStatVars(const StatEvent& params,
                           std::wstring (*escape)(const std::wstring&)) {
  auto clean = [](std::wstring text) {
    for (wchar_t& c : text) {
      if (c == L',' || c == L'-' || c == L'=') c = L'_';
    }
    return text;
  };
  std::wstring vars;
  for (const auto& [name, value] : params) {
    if (!vars.empty()) vars += L",";
    vars += L"-" + escape(clean(base::UTF8ToWide(name))) + L"=" +
            escape(clean(value));
  }
  return vars;
}

std::wstring FileVersionString(const std::wstring& path) {
  VS_FIXEDFILEINFO info;
  if (!base::ReadFixedFileInfo(path, &info)) return L"0.0.0.0";
  return base::UTF8ToWide(base::FileVersionText(info));
}

InstallStatSender::InstallStatSender(int install_type, int installer_type,
                                     const std::wstring& persisted,
                                     StatEvent initial, int path_number)
    : install_type_(install_type),
      installer_type_(installer_type),
      params_(std::move(initial)),
      path_number_(path_number) {
  ParseStatParams(persisted, &params_);
  if (installer_type_ == 0 || installer_type_ == 1) {
    params_["launched"] = WasLaunched() ? L"true" : L"false";
  } else {
    params_.emplace("launched", L"false");
  }
  params_["ui"] = base::UTF8ToWide(GetUserId());
  if (!params_.count("old_ver")) {
    std::wstring old_version = ReadInstallerValue(L"zpv");
    if (old_version.empty()) old_version = ReadInstallerValue(L"pv");
    params_["old_ver"] = old_version;
  }
  if (installer_type_ == 0) {
    params_["lite_ver"] =
        FileVersionString(base::GetExecutablePathWithinMaxPath());
  } else if (installer_type_ == 2) {
    params_["ver"] = FileVersionString(base::GetExecutablePathWithinMaxPath());
  }
  params_["installer_type"] = base::UTF8ToWide(
      installer_type_ == -1 ? StatTargetName(install_type_)
                            : InstallerTypeName(installer_type_));
}

InstallStatSender::~InstallStatSender() {
  if (installer_type_ == 0 || installer_type_ == 1) {
    RemoveInstallerValue(kInstallStatValue);
  }
}

std::wstring InstallStatSender::GetParam(const std::string& name) const {
  auto it = params_.find(name);
  return it == params_.end() ? std::wstring() : it->second;
}

std::string InstallStatSender::GetQueryUrl(const StatEvent& event,
                                           int path_number) const {
  StatEvent all = params_;
  for (const auto& field : event) all.insert(field);  // standing ones stay
  if (installer_type_ == -1) {
    all["old_style"] = L"1";
  } else {
    if (install_type_ != 0) {
      all["target"] = base::UTF8ToWide(StatTargetName(install_type_));
    }
    all["old_style"] = L"0";
  }
  all.emplace("brand_id", L"unknown");

  LOG(INFO) << "InstallStatSender::Send:";
  for (const auto& [name, value] : all) LOG(INFO) << name << "=" << value;

  const size_t path_count = sizeof(kStatPaths) / sizeof(kStatPaths[0]);
  const StatPath& path =
      kStatPaths[path_number >= 0 &&
                         static_cast<size_t>(path_number) < path_count
                     ? path_number
                     : 0];
  std::string url = std::string(kStatisticsHost) +
                    "/installstats/send/dtype=stred/pid=457/cid=" +
                    base::NumberToString(path.cid) + "/path=" + path.path;
  std::wstring vars = BuildStatVars(all, Escape);
  if (!vars.empty()) url += "/vars=" + base::WideToUTF8(vars);
  url += "/*";
  return url;
}

}  // namespace lite
