#include "lite_installer/delayed_params.h"

#include <windows.h>

#include <atomic>
#include <cstring>
#include <string_view>

#include "base/scoped_handle.h"
#include "lite_installer/install_details.h"
#include "lite_installer/installer_switches.h"
#include "lite_util/logging/log_message.h"

namespace lite {
namespace {

template <size_t kUnits>
bool Fits(const std::wstring& text) {
  return text.size() < kUnits;
}

// Copies `text` and its terminating zero; the caller has checked the length.
template <size_t kUnits>
void CopyField(const std::wstring& text, wchar_t (&field)[kUnits]) {
  std::memcpy(field, text.data(), text.size() * sizeof(wchar_t));
  field[text.size()] = L'\0';
}

template <size_t kUnits>
std::wstring ReadField(const wchar_t (&field)[kUnits]) {
  size_t length = 0;
  while (length < kUnits && field[length] != L'\0') ++length;
  return std::wstring(field, length);
}

// Whether the file can be opened for reading and has at least one byte.
bool FileHasContent(const std::wstring& path) {
  base::ScopedHandle file(
      ::CreateFileW(path.c_str(), GENERIC_READ,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) return false;
  char byte = 0;
  DWORD read = 0;
  return ::ReadFile(file.Get(), &byte, 1, &read, nullptr) && read == 1;
}

void SetIfNotEmpty(InstallerCommandLine& command_line, const char* name,
                   const std::wstring& value) {
  if (!value.empty()) command_line.AppendSwitchValue(name, value);
}

std::atomic_ref<int32_t> SharedFailureReason() {
  return std::atomic_ref<int32_t>(
      SharedDelayedParamsBlock().setup_failure_reason);
}

}  // namespace

bool FillDelayedParamsBlock(const DelayedParams& values,
                            DelayedParamsBlock& block) {
  constexpr size_t kPath = DelayedParamsBlock::kPathUnits;
  constexpr size_t kTime = DelayedParamsBlock::kTimeUnits;
  if (!Fits<kPath>(values.browser_arc_path) ||
      !Fits<kPath>(values.clids_file_path) ||
      !Fits<kPath>(values.clids_searchband_file_path) ||
      !Fits<kPath>(values.zarvex_website_icon_file_path) ||
      !Fits<kPath>(values.installer_data_path) ||
      !Fits<kPath>(values.brand_package_path) ||
      !Fits<kPath>(values.partner_package_path) ||
      !Fits<kPath>(values.partner_package_override_path) ||
      !Fits<kTime>(values.download_time) ||
      !Fits<kTime>(values.install_start_time)) {
    return false;
  }
  CopyField(values.browser_arc_path, block.browser_arc_path);
  CopyField(values.clids_file_path, block.clids_file_path);
  CopyField(values.clids_searchband_file_path,
            block.clids_searchband_file_path);
  CopyField(values.zarvex_website_icon_file_path,
            block.zarvex_website_icon_file_path);
  CopyField(values.installer_data_path, block.installer_data_path);
  CopyField(values.brand_package_path, block.brand_package_path);
  CopyField(values.partner_package_path, block.partner_package_path);
  CopyField(values.partner_package_override_path,
            block.partner_package_override_path);
  CopyField(values.download_time, block.download_time);
  CopyField(values.install_start_time, block.install_start_time);
  block.send_statistics = values.send_statistics ? 1 : 0;
  block.make_default = values.make_default ? 1 : 0;
  block.create_vessa_shortcut = values.create_vessa_shortcut ? 1 : 0;
  return true;
}

DelayedParams ReadDelayedParamsBlock(const DelayedParamsBlock& block) {
  DelayedParams values;
  values.browser_arc_path = ReadField(block.browser_arc_path);
  values.clids_file_path = ReadField(block.clids_file_path);
  values.clids_searchband_file_path =
      ReadField(block.clids_searchband_file_path);
  values.zarvex_website_icon_file_path =
      ReadField(block.zarvex_website_icon_file_path);
  values.installer_data_path = ReadField(block.installer_data_path);
  values.brand_package_path = ReadField(block.brand_package_path);
  values.partner_package_path = ReadField(block.partner_package_path);
  values.partner_package_override_path =
      ReadField(block.partner_package_override_path);
  values.download_time = ReadField(block.download_time);
  values.install_start_time = ReadField(block.install_start_time);
  values.send_statistics = block.send_statistics != 0;
  values.make_default = block.make_default != 0;
  values.create_vessa_shortcut = block.create_vessa_shortcut != 0;
  return values;
}

void ApplyDelayedParamsTo(const DelayedParams& values, bool full_installer_mode,
                          InstallerCommandLine& setup_command_line) {
  if (!values.browser_arc_path.empty()) {
    setup_command_line.SetProgram(values.browser_arc_path);
  }
  SetIfNotEmpty(setup_command_line, switches::kInstallerData,
                values.installer_data_path);
  SetIfNotEmpty(setup_command_line, switches::kClidsFile,
                values.clids_file_path);
  SetIfNotEmpty(setup_command_line, switches::kClidsSearchbandFile,
                values.clids_searchband_file_path);
  SetIfNotEmpty(setup_command_line, switches::kBrandPackage,
                values.brand_package_path);
  SetIfNotEmpty(setup_command_line, switches::kPartnerPackage,
                values.partner_package_path);
  SetIfNotEmpty(setup_command_line, switches::kOverridePartnerPackage,
                values.partner_package_override_path);
  if (!values.zarvex_website_icon_file_path.empty() &&
      FileHasContent(values.zarvex_website_icon_file_path)) {
    setup_command_line.AppendSwitchValue(switches::kZarvexWebsiteIconFile,
                                         values.zarvex_website_icon_file_path);
  }
  SetIfNotEmpty(setup_command_line, switches::kInstallStartTimeNoUac,
                values.install_start_time);
  setup_command_line.SetOrRemoveSwitch(values.send_statistics,
                                       switches::kSendStatistics);
  setup_command_line.SetOrRemoveSwitch(
      values.make_default, switches::kMakeBrowserDefaultAfterImport);
  setup_command_line.SetOrRemoveSwitch(values.create_vessa_shortcut,
                                       switches::kCreateVessaShortcutInTaskbar);
  if (!full_installer_mode) {
    SetIfNotEmpty(setup_command_line, switches::kHistogramDownloadTime,
                  values.download_time);
  }
}

bool WriteDelayedParams(const DelayedParams& values) {
  if (FillDelayedParamsBlock(values, SharedDelayedParamsBlock())) return true;
  PLOG(ERROR) << "Too large string length,"
              << " browser_arc_path=" << values.browser_arc_path
              << " clids_file_path=" << values.clids_file_path
              << " clids_searchband_file_path="
              << values.clids_searchband_file_path
              << " zarvex_website_icon_file_path="
              << values.zarvex_website_icon_file_path
              << " installer_data_path=" << values.installer_data_path
              << " brand_package_path=" << values.brand_package_path
              << " partner_package_path=" << values.partner_package_path
              << " partner_package_override_path="
              << values.partner_package_override_path
              << " histogram_download_time=" << values.download_time
              << " histogram_full_time=" << values.install_start_time
              << " send_statistics=" << values.send_statistics
              << " make_default=" << values.make_default
              << " create_vessa_shortcut=" << values.create_vessa_shortcut;
  return false;
}

void ApplyDelayedParams(InstallerCommandLine& setup_command_line) {
  ApplyDelayedParamsTo(ReadDelayedParamsBlock(SharedDelayedParamsBlock()),
                       IsFullInstallerMode(), setup_command_line);
}

SetupFailureReason GetSetupFailureReason() {
  return static_cast<SetupFailureReason>(SharedFailureReason().load());
}

void SetSetupFailureReason(SetupFailureReason reason) {
  SharedFailureReason().store(reason);
}

}  // namespace lite
