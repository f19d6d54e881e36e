#include "lite_installer/installer_command_line.h"

#include <windows.h>

#include <shellapi.h>

#include "base/scoped_handle.h"
#include "base/string_util.h"
#include "lite_installer/installer_switches.h"

namespace lite {

namespace {

std::string NormalizeSwitchName(std::string_view name) {
  if (name.substr(0, 2) == "--") {
    name.remove_prefix(2);
  } else if (!name.empty() && (name[0] == '-' || name[0] == '/')) {
    name.remove_prefix(1);
  }
  return base::ToLowerASCII(name);
}

bool HasSwitchPrefix(std::wstring_view argument) {
  return !argument.empty() && (argument[0] == L'-' || argument[0] == L'/');
}

}  // namespace

const InstallerCommandLine& InstallerCommandLine::ForCurrentProcess() {
  // Function-local statics are initialised exactly once, even when two
  // threads arrive at the same time.
  static const InstallerCommandLine* const command_line =
      new InstallerCommandLine(FromString(::GetCommandLineW()));
  return *command_line;
}

InstallerCommandLine InstallerCommandLine::FromString(
    std::wstring_view command_line) {
  InstallerCommandLine result;
  std::wstring trimmed = base::TrimWhitespace(command_line);
  if (trimmed.empty()) return result;

  int count = 0;
  base::ScopedLocalMemory<wchar_t*> argv(
      ::CommandLineToArgvW(trimmed.c_str(), &count));
  if (!argv.IsValid()) return result;
  wchar_t** const arguments = argv.Get();
  for (int i = 0; i < count; ++i) {
    std::wstring argument = base::TrimWhitespace(arguments[i]);
    if (i == 0) {
      result.program_ = argument;
      continue;
    }
    if (!HasSwitchPrefix(argument)) continue;
    size_t equals = argument.find(L'=');
    std::wstring_view view(argument);
    std::wstring_view name = view.substr(0, equals);
    std::wstring_view value = equals == std::wstring::npos
                                  ? std::wstring_view()
                                  : view.substr(equals + 1);
    result.AppendSwitchValue(base::NarrowLowBytes(name), value);
  }

  if (result.HasSwitch(switches::kSemiSilent)) {
    result.AppendSwitch(switches::kSilent);
    result.AppendSwitch(switches::kUacEnabled);
  }
  return result;
}

bool InstallerCommandLine::HasSwitch(std::string_view name) const {
  return switches_.count(base::ToLowerASCII(name)) != 0;
}

std::wstring InstallerCommandLine::GetSwitchValue(std::string_view name) const {
  auto it = switches_.find(base::ToLowerASCII(name));
  return it == switches_.end() ? std::wstring() : it->second;
}

std::string InstallerCommandLine::GetSwitchValueASCII(
    std::string_view name) const {
  return base::NarrowLowBytes(GetSwitchValue(name));
}

void InstallerCommandLine::AppendSwitch(std::string_view name) {
  AppendSwitchValue(name, std::wstring_view());
}

void InstallerCommandLine::AppendSwitchValue(std::string_view name,
                                             std::wstring_view value) {
  switches_[NormalizeSwitchName(name)] = std::wstring(value);
}

void InstallerCommandLine::AppendSwitchASCII(std::string_view name,
                                             std::string_view value) {
  AppendSwitchValue(name, base::WidenSignedBytes(value));
}

void InstallerCommandLine::SetOrRemoveSwitch(bool present,
                                             std::string_view name) {
  if (present) {
    AppendSwitch(name);
  } else {
    RemoveSwitch(name);
  }
}

void InstallerCommandLine::RemoveSwitch(std::string_view name) {
  switches_.erase(NormalizeSwitchName(name));
}

std::wstring InstallerCommandLine::GetCommandLineString() const {
  std::wstring result = QuoteForCommandLine(program_);
  for (const auto& [name, value] : switches_) {
    result += L" --";
    result += base::WidenSignedBytes(name);
    if (!value.empty()) {
      result += L'=';
      result += QuoteForCommandLine(value);
    }
  }
  return result;
}

std::wstring QuoteForCommandLine(std::wstring_view text) {
  if (text.find_first_of(L" \t\"\\") == std::wstring_view::npos) {
    return std::wstring(text);
  }
  std::wstring out = L"\"";
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'\\') {
      size_t run_end = text.find_first_not_of(L'\\', i);
      if (run_end == std::wstring_view::npos) run_end = text.size();
      size_t run = run_end - i;
      bool doubled = run_end == text.size() || text[run_end] == L'"';
      out.append(doubled ? run * 2 : run, L'\\');
      i = run_end - 1;
    } else if (text[i] == L'"') {
      out += L"\\\"";
    } else {
      out += text[i];
    }
  }
  out += L'"';
  return out;
}

}  // namespace lite
