// Runs the installer's verification of a setup package and prints what it
// did, for the trust tests:
//
//   verify_package.exe <package path>
//
// Prints, one line each: "log <SEVERITY> <function> <text>" for every log
// record, "report <name> <key>=<value>;..." for every verification report
// handed over, and at the end "answer 1" or "answer 0". Line breaks inside
// a text are written as "\n". Exits with 0 when the package is trusted and
// 1 when not.
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>

#include "base/string_util.h"
#include "lite_installer/installer.h"
#include "lite_installer/installer_command_line.h"
#include "lite_util/logging/log_message.h"
#include "lite_util/verification_report.h"
#include "lite_util/windows_version.h"

namespace {

std::string OneLine(std::string text) {
  std::string line;
  for (char c : text) {
    if (c == '\n') {
      line += "\\n";
    } else if (c != '\r') {
      line += c;
    }
  }
  return line;
}

class PrintingLogger : public lite::Logger {
 public:
  void Emit(const lite::LogRecord& record) override {
    std::printf("log %s %s %s\n", lite::LogSeverityLabel(record.severity),
                record.function, OneLine(record.text).c_str());
  }
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  if (argc != 2) {
    std::fprintf(stderr, "usage: verify_package <package path>\n");
    return 2;
  }
  lite::SetLogger(std::make_unique<PrintingLogger>());
  lite::SetVerificationReportObserver(
      [](std::string_view name, const lite::VerificationReport& report) {
        std::string values;
        for (const auto& [key, value] : report.values()) {
          values += key + "=" + value + ";";
        }
        std::printf("report %.*s %s\n", static_cast<int>(name.size()),
                    name.data(), OneLine(values).c_str());
      });
  // What start-up gives the controller.
  lite::InstallerInputs inputs;
  inputs.command_line = lite::InstallerCommandLine::ForCurrentProcess();
  inputs.windows_version = lite::WindowsVersion();
  lite::Installer installer(nullptr, nullptr, nullptr, false, inputs);
  bool trusted = installer.VerifyModule(argv[1]);
  std::printf("answer %d\n", trusted ? 1 : 0);
  return trusted ? 0 : 1;
}
