// The delayed parameters: what the elevated copy learns only after it has
// been started (the downloaded package, the data files, the user's last
// choices), handed over in the block that every process of this executable
// file shares (section "Shared"). The block also carries the setup failure
// reason back to the installer that shows the window.
//
// Order between the two processes comes from outside: the parent writes the
// block before it sets the start event (see elevated_process.h), the copy
// reads it after its wait returns; the parent reads the failure reason after
// the copy has exited. The block itself has no lock.
#ifndef LITE_INSTALLER_DELAYED_PARAMS_H_
#define LITE_INSTALLER_DELAYED_PARAMS_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "lite_installer/installer_command_line.h"
#include "lite_installer/setup_exit_codes.h"
#include "lite_installer/shared_sections.h"

namespace lite {

static_assert(sizeof(wchar_t) == 2, "the block holds UTF-16 text");

// The values the installer hands to its elevated copy. Empty strings leave
// the copy's prepared setup command line as it is.
struct DelayedParams {
  std::wstring browser_arc_path;  // the downloaded setup package
  std::wstring clids_file_path;
  std::wstring clids_searchband_file_path;
  std::wstring zarvex_website_icon_file_path;
  std::wstring installer_data_path;
  std::wstring brand_package_path;    // only when the package was loaded
  std::wstring partner_package_path;  // only when the package was loaded
  std::wstring partner_package_override_path;
  // Whole seconds of the download, in decimal: std::to_wstring((t1 - t0) /
  // 1000000) for monotonic microseconds t0 and t1.
  std::wstring download_time;
  // The confirmation time in monotonic microseconds as a signed decimal
  // number; "0" when the installation was never confirmed.
  std::wstring install_start_time;
  bool send_statistics = false;
  bool make_default = false;
  bool create_vessa_shortcut = false;
};

// The content of the section "Shared", byte for byte. Text fields are
// zero-terminated UTF-16; flags are bytes 0 or 1.
struct DelayedParamsBlock {
  static constexpr size_t kPathUnits = 261;  // 260 characters and the zero
  static constexpr size_t kTimeUnits = 33;   // 32 characters and the zero

  wchar_t browser_arc_path[kPathUnits];
  wchar_t clids_file_path[kPathUnits];
  wchar_t clids_searchband_file_path[kPathUnits];
  wchar_t zarvex_website_icon_file_path[kPathUnits];
  wchar_t installer_data_path[kPathUnits];
  wchar_t brand_package_path[kPathUnits];
  wchar_t partner_package_path[kPathUnits];
  wchar_t partner_package_override_path[kPathUnits];
  wchar_t download_time[kTimeUnits];
  wchar_t install_start_time[kTimeUnits];
  uint8_t send_statistics;
  uint8_t make_default;
  uint8_t create_vessa_shortcut;
  uint8_t padding;
  int32_t setup_failure_reason;  // a SetupFailureReason
};

static_assert(offsetof(DelayedParamsBlock, browser_arc_path) == 0x0000);
static_assert(offsetof(DelayedParamsBlock, clids_file_path) == 0x020A);
static_assert(offsetof(DelayedParamsBlock, clids_searchband_file_path) ==
              0x0414);
static_assert(offsetof(DelayedParamsBlock, zarvex_website_icon_file_path) ==
              0x061E);
static_assert(offsetof(DelayedParamsBlock, installer_data_path) == 0x0828);
static_assert(offsetof(DelayedParamsBlock, brand_package_path) == 0x0A32);
static_assert(offsetof(DelayedParamsBlock, partner_package_path) == 0x0C3C);
static_assert(offsetof(DelayedParamsBlock, partner_package_override_path) ==
              0x0E46);
static_assert(offsetof(DelayedParamsBlock, download_time) == 0x1050);
static_assert(offsetof(DelayedParamsBlock, install_start_time) == 0x1092);
static_assert(offsetof(DelayedParamsBlock, send_statistics) == 0x10D4);
static_assert(offsetof(DelayedParamsBlock, make_default) == 0x10D5);
static_assert(offsetof(DelayedParamsBlock, create_vessa_shortcut) == 0x10D6);
static_assert(offsetof(DelayedParamsBlock, padding) == 0x10D7);
static_assert(offsetof(DelayedParamsBlock, setup_failure_reason) == 0x10D8);
static_assert(sizeof(DelayedParamsBlock) == kDelayedParamsBlockSize);

// Stores `values` in `block`, leaving the failure reason alone. Returns false
// and changes nothing when a path has more than 260 characters or a time
// text more than 32.
bool FillDelayedParamsBlock(const DelayedParams& values,
                            DelayedParamsBlock& block);
// Reads every field up to its terminating zero, or to the end of the field
// when the zero is missing; any non-zero flag byte reads as true.
DelayedParams ReadDelayedParamsBlock(const DelayedParamsBlock& block);

// Changes the setup command line prepared for the elevated copy: non-empty
// paths set the program and their switches (the web site icon only when its
// file can be read and is not empty), a non-empty start time sets
// install-start-time-no-uac, the three flags set or remove their switches,
// and in a lite installer a non-empty download time sets
// histogram-download-time.
void ApplyDelayedParamsTo(const DelayedParams& values, bool full_installer_mode,
                          InstallerCommandLine& setup_command_line);

// The installer's side: writes the shared block once the package has been
// verified and before the start event is set. On a value that does not fit,
// logs "Too large string length, ..." with every value and returns false.
bool WriteDelayedParams(const DelayedParams& values);

// The elevated copy's side: applies the shared block to the command line
// parsed from setup-cmd-line, after the start event has released it.
void ApplyDelayedParams(InstallerCommandLine& setup_command_line);

// The setup failure reason in the shared block: set by whichever process
// ran the setup, read by the installer after its elevated copy has exited.
SetupFailureReason GetSetupFailureReason();
void SetSetupFailureReason(SetupFailureReason reason);

}  // namespace lite

#endif  // LITE_INSTALLER_DELAYED_PARAMS_H_
