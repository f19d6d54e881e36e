#include "lite_installer/setup_exit_codes.h"

#include <windows.h>

#include <cstdint>
#include <string>

#include "gtest/gtest.h"

namespace lite {
namespace {

TEST(SetupExitCodesTest, NamesStatusAndDetail) {
  struct Case {
    uint32_t code;
    const char* name;
  };
  const Case kCases[] = {
      {0, "SUCCESS_EXIT_CODE(0); error: 0"},
      {7, "SUCCESS_EXIT_CODE(0); error: 7"},
      {0x00FFFFFF, "SUCCESS_EXIT_CODE(0); error: 16777215"},
      {0x01000000, "GENERIC_ERROR(1); error: 0"},
      {(101u << 24) | 3, "GENERIC_INITIALIZATION_FAILURE(101); error: 3"},
      {(105u << 24), "COMMAND_STRING_OVERFLOW(105); error: 0"},
      {(107u << 24), "WAIT_FOR_PROCESS_FAILED(107); error: 0"},
      {(108u << 24), "PATH_STRING_OVERFLOW(108); error: 0"},
      {(109u << 24), "UNABLE_TO_GET_WORK_DIRECTORY(109); error: 0"},
      {(110u << 24), "UNABLE_TO_FIND_REGISTRY_KEY(110); error: 0"},
      {(111u << 24), "PATCH_NOT_FOR_INSTALLED_VERSION(111); error: 0"},
      {(112u << 24) | 42, "UNABLE_TO_EXTRACT_CHROME_ARCHIVE(112); error: 42"},
      {(115u << 24), "UNABLE_TO_EXTRACT_SETUP_EXE(115); error: 0"},
      {(116u << 24), "UNABLE_TO_EXTRACT_SETUP(116); error: 0"},
      {(117u << 24), "UNABLE_TO_SET_DIRECTORY_ACL(117); error: 0"},
      // Statuses outside the table, including the neighbours of its entries.
      {(2u << 24), "Exit code: 2; error: 0"},
      {(100u << 24) | 1, "Exit code: 100; error: 1"},
      {(118u << 24), "Exit code: 118; error: 0"},
      // The status is unsigned: -1 is status 255, not a negative number.
      {0xFFFFFFFF, "Exit code: 255; error: 16777215"},
      {0x80000001, "Exit code: 128; error: 1"},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(SetupExitCodeName(c.code), c.name) << "code " << c.code;
  }
}

TEST(SetupExitCodesTest, StatusTableBeyondOneByte) {
  // The two installer-mutex statuses are named, but a status taken from an
  // exit code is at most 255 and can never reach them.
  EXPECT_STREQ(SetupStatusName(512), "FAILED_TO_CREATE_INSTALLER_MUTEX");
  EXPECT_STREQ(SetupStatusName(513), "ANOTHER_INSTALLER_RUNNING");
  EXPECT_EQ(SetupStatusName(514), nullptr);
  EXPECT_EQ(SetupExitCodeName(512), "SUCCESS_EXIT_CODE(0); error: 512");
}

TEST(SetupExitCodesTest, FailureReasons) {
  EXPECT_EQ(FailureReasonForExitCode(7), kSetupFailureAlreadyInstalled);
  EXPECT_EQ(FailureReasonForCreateProcessError(ERROR_EXE_MACHINE_TYPE_MISMATCH),
            kSetupFailureMachineTypeMismatch);
  // Only exactly 7 and exactly that error carry a reason.
  for (uint32_t code : {0u, 1u, 6u, 8u, 0x01000007u, 0x00000107u}) {
    EXPECT_EQ(FailureReasonForExitCode(code), kSetupFailureNone) << code;
  }
  for (uint32_t error : {0u, static_cast<uint32_t>(ERROR_FILE_NOT_FOUND),
                         static_cast<uint32_t>(ERROR_BAD_EXE_FORMAT),
                         static_cast<uint32_t>(ERROR_ACCESS_DENIED)}) {
    EXPECT_EQ(FailureReasonForCreateProcessError(error), kSetupFailureNone)
        << error;
  }
}

TEST(SetupExitCodesTest, DialogForEachOutcome) {
  struct Case {
    int32_t outcome;
    OutcomeDialogKind kind;
    int title;
    int text;
    int accept;
    int cancel;
  };
  const Case kCases[] = {
      {0, OutcomeDialogKind::kNone, 0, 0, 0, 0},
      {1, OutcomeDialogKind::kDownload, 416, 421, 425, 426},
      {2, OutcomeDialogKind::kDownload, 416, 421, 425, 426},
      {3, OutcomeDialogKind::kCryptoPro, 417, 418, 0, 0},
      {4, OutcomeDialogKind::kError, 416, 419, 0, 0},
      {5, OutcomeDialogKind::kError, 416, 420, 0, 0},
      {6, OutcomeDialogKind::kDownload, 416, 421, 425, 426},
      {-1, OutcomeDialogKind::kDownload, 416, 421, 425, 426},
  };
  for (const Case& c : kCases) {
    OutcomeDialog dialog = OutcomeDialogFor(c.outcome);
    EXPECT_EQ(dialog.kind, c.kind) << c.outcome;
    EXPECT_EQ(dialog.title_string, c.title) << c.outcome;
    EXPECT_EQ(dialog.text_string, c.text) << c.outcome;
    EXPECT_EQ(dialog.accept_button_string, c.accept) << c.outcome;
    EXPECT_EQ(dialog.cancel_button_string, c.cancel) << c.outcome;
  }
}

TEST(SetupExitCodesTest, InstallKind) {
  struct Case {
    bool downloaded;
    const char* code;
    const char* kind;
  };
  const Case kCases[] = {
      {true, "", "normal"},
      {true, "lite_install_failed", "normal"},
      {false, "lite_install_failed", "lite_install_failed"},
      {false, "", ""},
      {false, "LITE_INSTALL_FAILED", ""},
      {false, "lite_install_failed ", ""},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(InstallKindForStatistics(c.downloaded, c.code), c.kind)
        << c.downloaded << " '" << c.code << "'";
  }
}

}  // namespace
}  // namespace lite
