// What the setup program's exit code means to the installer, the failure
// reasons carried back from whichever process ran the setup, and the outcome
// classes handed to the window. Plain values and tables, no system calls.
#ifndef LITE_INSTALLER_SETUP_EXIT_CODES_H_
#define LITE_INSTALLER_SETUP_EXIT_CODES_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace lite {

// The one setup exit code the installer treats as a failed run: the browser
// is already installed in Program Files.
inline constexpr uint32_t kSetupExitAlreadyInstalled = 7;

// The name of a setup status (the high byte of its exit code); null when the
// status is not a known one.
const char* SetupStatusName(uint32_t status);

// "<NAME>(<status>); error: <detail>" or "Exit code: <status>; error:
// <detail>", where status is the high byte of `code` and detail its low 24
// bits. Used for the log line of a finished setup process.
std::string SetupExitCodeName(uint32_t code);

// Why the setup run failed, as far as the window must know. Kept in the
// block shared with the elevated copy, so that a reason found there reaches
// the installer that shows the window.
enum SetupFailureReason : int32_t {
  kSetupFailureNone = 0,
  kSetupFailureMachineTypeMismatch = 4,  // setup built for another machine
  kSetupFailureAlreadyInstalled = 5,     // the setup exited with code 7
};

// The reason recorded when creating the setup process failed with
// `create_process_error` (a Win32 error code); kSetupFailureNone for errors
// that carry no reason of their own.
SetupFailureReason FailureReasonForCreateProcessError(
    uint32_t create_process_error);
// The reason recorded for a setup that exited with `exit_code`.
SetupFailureReason FailureReasonForExitCode(uint32_t exit_code);

// The failure class handed to the window with OnFinished.
enum OutcomeClass : int32_t {
  kOutcomeNone = 0,  // never sent; the window's "nothing pending"
  kOutcomeInstallerFailure = 1,
  kOutcomeDownloadFailed = 2,
  kOutcomeCryptoProFailure = 3,
  kOutcomeMachineTypeMismatch = 4,
  kOutcomeAlreadyInstalled = 5,
};

// The dialog the window shows for an outcome, with its string ids (0 where
// the dialog has no such string).
enum class OutcomeDialogKind { kNone, kDownload, kCryptoPro, kError };
struct OutcomeDialog {
  OutcomeDialogKind kind;
  int title_string;
  int text_string;
  int accept_button_string;
  int cancel_button_string;
};
// Classes the window does not know are shown like class 1.
OutcomeDialog OutcomeDialogFor(int32_t outcome);

// Marker lines written at ERROR level, alone, before the detailed line of
// two failures, so that log analysis can count them.
inline constexpr char kKnownErrorMsiReadError[] = "KNOWN_ERROR_msi_read_error";
inline constexpr char kKnownErrorUntrustedCertificate[] =
    "KNOWN_ERROR_untrusted_certificate";

// The statistics value "install_type" once the package was obtained:
// "normal" when it was downloaded; "lite_install_failed" when it came from
// the installer's own resources and the distribution parameter "code" is
// exactly that text (a full installer fetched after a failed lite
// installation); empty (not set) otherwise.
std::string_view InstallKindForStatistics(bool downloaded,
                                          std::string_view distrib_code);

}  // namespace lite

#endif  // LITE_INSTALLER_SETUP_EXIT_CODES_H_
