#include "lite_installer/setup_exit_codes.h"

#include <windows.h>

#include <array>
#include <utility>

namespace lite {
namespace {

// Statuses the setup program reports in the high byte of its exit code.
// 512 and 513 do not fit in a byte and therefore never come from an exit
// code; they are kept so that the table matches the setup's own list.
constexpr std::array<std::pair<uint32_t, const char*>, 15> kSetupStatuses = {{
    {0, "SUCCESS_EXIT_CODE"},
    {1, "GENERIC_ERROR"},
    {101, "GENERIC_INITIALIZATION_FAILURE"},
    {105, "COMMAND_STRING_OVERFLOW"},
    {107, "WAIT_FOR_PROCESS_FAILED"},
    {108, "PATH_STRING_OVERFLOW"},
    {109, "UNABLE_TO_GET_WORK_DIRECTORY"},
    {110, "UNABLE_TO_FIND_REGISTRY_KEY"},
    {111, "PATCH_NOT_FOR_INSTALLED_VERSION"},
    {112, "UNABLE_TO_EXTRACT_CHROME_ARCHIVE"},
    {115, "UNABLE_TO_EXTRACT_SETUP_EXE"},
    {116, "UNABLE_TO_EXTRACT_SETUP"},
    {117, "UNABLE_TO_SET_DIRECTORY_ACL"},
    {512, "FAILED_TO_CREATE_INSTALLER_MUTEX"},
    {513, "ANOTHER_INSTALLER_RUNNING"},
}};

constexpr int kStringInstallError = 416;
constexpr int kStringCouldNotInstall = 417;
constexpr int kStringCryptoProNotice = 418;
constexpr int kStringWrongBitness = 419;
constexpr int kStringAlreadyInstalled = 420;
constexpr int kStringDownloadManually = 421;
constexpr int kStringDownloadButton = 425;
constexpr int kStringCancelButton = 426;

constexpr char kLiteInstallFailed[] = "lite_install_failed";

}  // namespace

const char* SetupStatusName(uint32_t status) {
  for (const auto& [value, name] : kSetupStatuses) {
    if (value == status) return name;
  }
  return nullptr;
}

std::string SetupExitCodeName(uint32_t code) {
  const uint32_t status = code >> 24;
  const uint32_t detail = code & 0xFFFFFFu;
  std::string text;
  if (const char* name = SetupStatusName(status)) {
    text = std::string(name) + "(" + std::to_string(status) + ")";
  } else {
    text = "Exit code: " + std::to_string(status);
  }
  return text + "; error: " + std::to_string(detail);
}

SetupFailureReason FailureReasonForCreateProcessError(
    uint32_t create_process_error) {
  return create_process_error == ERROR_EXE_MACHINE_TYPE_MISMATCH
             ? kSetupFailureMachineTypeMismatch
             : kSetupFailureNone;
}

SetupFailureReason FailureReasonForExitCode(uint32_t exit_code) {
  return exit_code == kSetupExitAlreadyInstalled ? kSetupFailureAlreadyInstalled
                                                 : kSetupFailureNone;
}

OutcomeDialog OutcomeDialogFor(int32_t outcome) {
  switch (outcome) {
    case kOutcomeNone:
      return {OutcomeDialogKind::kNone, 0, 0, 0, 0};
    case kOutcomeCryptoProFailure:
      return {OutcomeDialogKind::kCryptoPro, kStringCouldNotInstall,
              kStringCryptoProNotice, 0, 0};
    case kOutcomeMachineTypeMismatch:
      return {OutcomeDialogKind::kError, kStringInstallError,
              kStringWrongBitness, 0, 0};
    case kOutcomeAlreadyInstalled:
      return {OutcomeDialogKind::kError, kStringInstallError,
              kStringAlreadyInstalled, 0, 0};
    default:  // 1, 2 and every class the window does not know
      return {OutcomeDialogKind::kDownload, kStringInstallError,
              kStringDownloadManually, kStringDownloadButton,
              kStringCancelButton};
  }
}

std::string_view InstallKindForStatistics(bool downloaded,
                                          std::string_view distrib_code) {
  if (downloaded) return "normal";
  if (distrib_code == kLiteInstallFailed) return kLiteInstallFailed;
  return {};
}

}  // namespace lite
