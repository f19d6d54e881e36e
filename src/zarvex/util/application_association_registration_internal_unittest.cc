#include "zarvex/util/application_association_registration_internal.h"

#include <windows.h>

#include <string>
#include <vector>

#include "base/file_util.h"
#include "gtest/gtest.h"
#include "lite_util/windows_version.h"
#include "test/support/recording_logger.h"

namespace zarvex {
namespace {

TEST(InterfaceAvailabilityCodeTest, Table) {
  const struct {
    int status;
    uint32_t build;
    uint32_t revision;
    uint32_t code;
  } kCases[] = {
      {0, 17134, 319, 171340319u},
      {2, 17134, 318, 2171340318u},
      {4, 29496, 7295, 4294967295u},  // the largest value
      {0, 30000, 5, 5u},              // builds that large count as 0
      {3, 19045, 7296, 3190450000u},  // so do such update revisions
      {1, 0, 0, 1000000000u},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(InterfaceAvailabilityCode(c.status, c.build, c.revision), c.code)
        << c.status << " " << c.build << " " << c.revision;
  }
}

// The probe's reports go to the debugger channel: OutputDebugStringA raises
// DBG_PRINTEXCEPTION_C, which a vectored handler sees first.
std::vector<std::string>* g_debug_output = nullptr;

LONG CALLBACK KeepDebugOutput(EXCEPTION_POINTERS* info) {
  const EXCEPTION_RECORD* record = info->ExceptionRecord;
  if (g_debug_output && record->ExceptionCode == DBG_PRINTEXCEPTION_C &&
      record->NumberParameters >= 2) {
    g_debug_output->push_back(
        reinterpret_cast<const char*>(record->ExceptionInformation[1]));
  }
  return EXCEPTION_CONTINUE_SEARCH;
}

// Without any of the internal interfaces (Wine has none) the report names
// the Windows version class, as every version comparison does.
TEST(InterfaceProbeTest, ReportsTheVersionClassWithoutTheInterfaces) {
  std::vector<std::string> output;
  g_debug_output = &output;
  void* handler = ::AddVectoredExceptionHandler(1, KeepDebugOutput);
  ASSERT_NE(handler, nullptr);
  const bool available = IsInternalInterfaceAvailable();
  ::RemoveVectoredExceptionHandler(handler);
  g_debug_output = nullptr;
  std::vector<std::string> unsupported;
  for (const std::string& line : output) {
    if (line.rfind("Unsupported Win10 version=", 0) == 0) {
      unsupported.push_back(line);
    }
  }
  if (available || unsupported.empty()) {
    GTEST_SKIP() << "this system has one of the internal interfaces";
  }
  EXPECT_EQ(unsupported, std::vector<std::string>{
                             "Unsupported Win10 version=" +
                             std::to_string(lite::WindowsVersion()) + "\n"});
}

// The probe child is exit_with.exe (built beside this test), which takes
// its exit code and a delay from the environment.
class SafeCheckTest : public testing::Test {
 protected:
  void SetUp() override { logger_ = lite::RecordingLogger::Install(); }
  void TearDown() override {
    ::SetEnvironmentVariableW(L"LITE_TEST_EXIT_CODE", nullptr);
    ::SetEnvironmentVariableW(L"LITE_TEST_SLEEP_MS", nullptr);
    lite::SetLogger(nullptr);
  }
  InterfaceProbeSystem System(uint32_t build, uint32_t revision) {
    InterfaceProbeSystem system;
    system.windows_version = lite::kWindows10;
    system.build = build;
    system.update_revision = revision;
    system.executable =
        base::DirectoryPart(base::GetExecutablePath()) + L"\\exit_with.exe";
    return system;
  }
  lite::RecordingLogger* logger_ = nullptr;
};

TEST_F(SafeCheckTest, Outcomes) {
  const struct {
    const wchar_t* exit_code;  // the child's
    const wchar_t* sleep_ms;
    bool answer;
    uint32_t code;
    const char* log;
  } kCases[] = {
      {L"700", nullptr, true, 171340318u,
       "Successfuly checked Win10 internal interface availability: "
       "availability: 1"},
      {L"701", nullptr, false, 2171340318u,
       "Successfuly checked Win10 internal interface availability: "
       "availability: 0"},
      {L"0", nullptr, false, 4171340318u,
       "Failed to check Win10 internal interface availability, unknown ret "
       "code: 0"},
      {L"-1073741819", nullptr, false, 1171340318u,
       "Failed to check Win10 internal interface availability, ret code: "
       "-1073741819, installer crashed"},
      {L"700", L"5000", false, 3171340318u,
       "Failed to check Win10 internal interface availability,  installer "
       "was terminated by timeout."},
  };
  for (const auto& c : kCases) {
    ::SetEnvironmentVariableW(L"LITE_TEST_EXIT_CODE", c.exit_code);
    ::SetEnvironmentVariableW(L"LITE_TEST_SLEEP_MS", c.sleep_ms);
    uint32_t code = 7;
    EXPECT_EQ(IsInternalInterfaceAvailableSafeCheck(System(17134, 318), &code),
              c.answer)
        << c.exit_code;
    EXPECT_EQ(code, c.code) << c.exit_code;
    EXPECT_TRUE(logger_->Has(c.log)) << c.log;
  }
}

TEST_F(SafeCheckTest, NoChildNeeded) {
  uint32_t code = 7;
  InterfaceProbeSystem windows7 = System(7601, 0);
  windows7.windows_version = lite::kWindows7;
  windows7.executable = L"C:\\nowhere.exe";
  EXPECT_FALSE(IsInternalInterfaceAvailableSafeCheck(windows7, &code));
  EXPECT_EQ(code, 7u);  // untouched

  InterfaceProbeSystem recent = System(17134, 319);
  recent.executable = L"C:\\nowhere.exe";
  EXPECT_TRUE(IsInternalInterfaceAvailableSafeCheck(recent, &code));
  EXPECT_EQ(code, 171340319u);

  InterfaceProbeSystem missing = System(17134, 318);
  missing.executable = L"C:\\nowhere.exe";
  EXPECT_FALSE(IsInternalInterfaceAvailableSafeCheck(missing, &code));
  EXPECT_EQ(code, 4171340318u);
  EXPECT_TRUE(
      logger_->Has("Failed to check Win10 internal interface "
                   "availability: can't get installer exe path."));
}

}  // namespace
}  // namespace zarvex
