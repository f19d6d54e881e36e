// The installer's command line: a program path and a sorted map of switches.
// Arguments that are not switches are dropped when parsing.
#ifndef LITE_INSTALLER_INSTALLER_COMMAND_LINE_H_
#define LITE_INSTALLER_INSTALLER_COMMAND_LINE_H_

#include <map>
#include <string>
#include <string_view>

namespace lite {

class InstallerCommandLine {
 public:
  using SwitchMap = std::map<std::string, std::wstring>;

  InstallerCommandLine() = default;

  // The process's own command line, parsed from GetCommandLineW on first
  // use (thread-safe) and never changed afterwards.
  static const InstallerCommandLine& ForCurrentProcess();
  // Parses a command-line string; never fails (see the .cc for the rules).
  static InstallerCommandLine FromString(std::wstring_view command_line);

  bool HasSwitch(std::string_view name) const;
  // Empty when absent.
  std::wstring GetSwitchValue(std::string_view name) const;
  // The value narrowed by keeping the low byte of each UTF-16 unit.
  std::string GetSwitchValueASCII(std::string_view name) const;

  // Setters lower-case the name and strip one prefix ("--", "-" or "/").
  void AppendSwitch(std::string_view name);
  void AppendSwitchValue(std::string_view name, std::wstring_view value);
  // The value is widened byte by byte, each byte a signed 8-bit number.
  void AppendSwitchASCII(std::string_view name, std::string_view value);
  void SetOrRemoveSwitch(bool present, std::string_view name);
  void RemoveSwitch(std::string_view name);

  const std::wstring& GetProgram() const { return program_; }
  void SetProgram(std::wstring_view program) { program_ = program; }

  // The quoted program, then " --name" or " --name=<quoted value>" for each
  // switch in name order.
  std::wstring GetCommandLineString() const;

  const SwitchMap& switches() const { return switches_; }

 private:
  std::wstring program_;
  SwitchMap switches_;
};

// Quotes `text` so that CommandLineToArgvW gives it back unchanged; text
// without blanks, quotes and backslashes is returned as it is.
std::wstring QuoteForCommandLine(std::wstring_view text);

}  // namespace lite

#endif  // LITE_INSTALLER_INSTALLER_COMMAND_LINE_H_
