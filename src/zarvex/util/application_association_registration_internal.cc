#include "zarvex/util/application_association_registration_internal.h"

#include <windows.h>

#include <shobjidl.h>

#include <shellapi.h>

#include <cstdio>
#include <string>

#include "base/process.h"
#include "base/scoped_handle.h"
#include "lite_util/logging/log_message.h"
#include "lite_util/windows_version.h"

namespace zarvex {

namespace {

// The longest the probe child may take; it is ended after that.
constexpr DWORD kInterfaceProbeWaitMs = 3000;

// Reports go to the debugger channel, never to the installer's log file.
void Report(const std::string& text) {
  ::OutputDebugStringA((text + "\n").c_str());
}

std::string Hr(HRESULT hr) { return std::to_string(static_cast<long>(hr)); }

// {identifier, kind}: kind 1 registrations must also offer the internal
// set-as-default interface and make-default handlers.
struct RegistrationInterface {
  GUID iid;
  int kind;
};

constexpr RegistrationInterface kRegistrationInterfaces[] = {
    {{0x2A848E25,
      0xD688,
      0x4AA3,
      {0x8E, 0x55, 0x0C, 0x16, 0xCB, 0x3A, 0x2D, 0xFB}},
     1},
    {{0xFC0BE3A5,
      0x6BE4,
      0x423C,
      {0xB2, 0x87, 0x24, 0x89, 0x34, 0xE3, 0x79, 0xC7}},
     1},
    {{0x14EBCC88,
      0x2831,
      0x4FC8,
      {0xA5, 0xDF, 0x9F, 0x36, 0xA8, 0x1D, 0xB1, 0x2C}},
     0},
    {{0x1C5C9D10,
      0x1225,
      0x4C97,
      {0x8C, 0x51, 0x98, 0xE1, 0xB6, 0xF0, 0xD4, 0xE0}},
     0},
    {{0x229D59E2,
      0xF94A,
      0x402E,
      {0x9A, 0x9F, 0x3B, 0x84, 0xA1, 0xAC, 0xED, 0x77}},
     0},
};
constexpr GUID kIidSetAppAsDefaultBrowserInternal = {
    0xB00DC47B,
    0xBFF4,
    0x4318,
    {0xBE, 0x5B, 0xA5, 0x85, 0x6F, 0x91, 0x69, 0xA2}};
constexpr GUID kIidAssocHandlerMakeDefault = {
    0xCA635855,
    0xB44E,
    0x4541,
    {0x95, 0x91, 0x9F, 0xAA, 0x53, 0x35, 0x4A, 0x53}};

using CreateRegistrationFunction = HRESULT(WINAPI*)(REFIID, void**);
using EnumHandlersFunction = HRESULT(WINAPI*)(PCWSTR, ASSOC_FILTER,
                                              IEnumAssocHandlers**);
using EnumHandlersForProtocolFunction = HRESULT(WINAPI*)(PCWSTR, REFIID,
                                                         void**);

FARPROC Shell32Function(const char* name) {
  HMODULE shell32 = ::GetModuleHandleW(L"shell32.dll");
  if (!shell32) shell32 = ::LoadLibraryExW(L"shell32.dll", nullptr, 0x800);
  return shell32 ? ::GetProcAddress(shell32, name) : nullptr;
}

// Passes when the first handler whose name can be read offers the
// make-default interface.
bool HandlersSupportMakeDefault(IEnumAssocHandlers* handlers) {
  for (;;) {
    IAssocHandler* handler = nullptr;
    ULONG fetched = 0;
    HRESULT hr = handlers->Next(1, &handler, &fetched);
    if (FAILED(hr) || fetched == 0 || !handler) {
      Report("IEnumAssocHandlers::Next error, hr=" + Hr(hr) +
             ", failed to find ");
      return false;
    }
    LPWSTR name = nullptr;
    hr = handler->GetUIName(&name);
    if (FAILED(hr)) {
      Report("IAssocHandler::GetUIName error, hr=" + Hr(hr) +
             ", failed to find ");
      handler->Release();
      continue;
    }
    ::CoTaskMemFree(name);
    IUnknown* make_default = nullptr;
    hr = handler->QueryInterface(kIidAssocHandlerMakeDefault,
                                 reinterpret_cast<void**>(&make_default));
    handler->Release();
    if (FAILED(hr)) {
      Report("QueryInterface(IAssocHandlerMakeDefault) error, hr=" + Hr(hr));
      return false;
    }
    make_default->Release();
    return true;
  }
}

bool CheckHandlersSupportMakeDefault() {
  auto by_protocol =
      reinterpret_cast<EnumHandlersForProtocolFunction>(reinterpret_cast<void*>(
          Shell32Function("SHAssocEnumHandlersForProtocolByApplication")));
  auto by_extension = reinterpret_cast<EnumHandlersFunction>(
      reinterpret_cast<void*>(Shell32Function("SHAssocEnumHandlers")));
  for (const wchar_t* protocol : {L"http", L"https"}) {
    IEnumAssocHandlers* handlers = nullptr;
    HRESULT hr = by_protocol ? by_protocol(protocol, IID_IEnumAssocHandlers,
                                           reinterpret_cast<void**>(&handlers))
                             : E_NOTIMPL;
    if (FAILED(hr) || !handlers) {
      Report("SHAssocEnumHandlersForProtocolByApplication error, hr=" + Hr(hr) +
             " protocol=" + (protocol[4] ? "https" : "http"));
      return false;
    }
    bool ok = HandlersSupportMakeDefault(handlers);
    handlers->Release();
    if (!ok) return false;
  }
  for (const wchar_t* extension : {L".htm", L".html"}) {
    IEnumAssocHandlers* handlers = nullptr;
    HRESULT hr = by_extension
                     ? by_extension(extension, ASSOC_FILTER_NONE, &handlers)
                     : E_NOTIMPL;
    if (FAILED(hr) || !handlers) {
      Report("SHAssocEnumHandlers error, hr=" + Hr(hr) +
             " extension=" + (extension[4] ? ".html" : ".htm"));
      return false;
    }
    bool ok = HandlersSupportMakeDefault(handlers);
    handlers->Release();
    if (!ok) return false;
  }
  return true;
}

}  // namespace

bool IsInternalInterfaceAvailable() {
  auto create =
      reinterpret_cast<CreateRegistrationFunction>(reinterpret_cast<void*>(
          Shell32Function("SHCreateAssociationRegistration")));
  IUnknown* registration = nullptr;
  int kind = -1;
  for (const RegistrationInterface& candidate : kRegistrationInterfaces) {
    if (create &&
        SUCCEEDED(
            create(candidate.iid, reinterpret_cast<void**>(&registration))) &&
        registration) {
      kind = candidate.kind;
      break;
    }
    registration = nullptr;
  }
  if (kind < 0) {
    Report("Unsupported Win10 version=" +
           std::to_string(lite::WindowsVersion()));
    return false;
  }
  if (kind == 0) {
    registration->Release();
    return true;
  }
  IUnknown* set_default = nullptr;
  HRESULT hr =
      registration->QueryInterface(kIidSetAppAsDefaultBrowserInternal,
                                   reinterpret_cast<void**>(&set_default));
  registration->Release();
  if (FAILED(hr)) {
    Report("QueryInterface(ISetAppAsDefaultBrowserInternal) error, hr=" +
           Hr(hr));
    return false;
  }
  set_default->Release();
  return CheckHandlersSupportMakeDefault();
}

uint32_t InterfaceAvailabilityCode(int status, uint32_t build,
                                   uint32_t update_revision) {
  const uint64_t b = build < 29497 ? build : 0;
  const uint64_t r = update_revision < 7296 ? update_revision : 0;
  return static_cast<uint32_t>(static_cast<uint64_t>(status) * 1000000000u +
                               (b * 10000 + r) % 1000000000u);
}

// Reads the 64-bit view where there is one (Windows 7 and later know the
// flag; older systems fail the read, and have no update revision anyway).
#ifndef RRF_SUBKEY_WOW6464KEY
#define RRF_SUBKEY_WOW6464KEY 0x00010000
#endif

InterfaceProbeSystem CurrentInterfaceProbeSystem() {
  InterfaceProbeSystem system;
  system.windows_version = lite::WindowsVersion();
  system.build = lite::CurrentSystemVersion().build;
  DWORD revision = 0;
  DWORD size = sizeof(revision);
  if (::RegGetValueW(HKEY_LOCAL_MACHINE,
                     L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", L"UBR",
                     RRF_RT_REG_DWORD | RRF_SUBKEY_WOW6464KEY, nullptr,
                     &revision, &size) == ERROR_SUCCESS) {
    system.update_revision = revision;
  }
  int argc = 0;
  base::ScopedLocalMemory<LPWSTR> argv(
      ::CommandLineToArgvW(::GetCommandLineW(), &argc));
  if (argv.IsValid() && argc > 0) system.executable = argv.Get()[0];
  return system;
}

bool IsInternalInterfaceAvailableSafeCheck(const InterfaceProbeSystem& system,
                                           uint32_t* code) {
  if (system.windows_version < lite::kWindows10) return false;
  auto answer = [&](bool available, int status) {
    *code =
        InterfaceAvailabilityCode(status, system.build, system.update_revision);
    return available;
  };
  if (system.build > 17703 ||
      (system.build == 17134 && system.update_revision > 318)) {
    return answer(true, kInterfaceAvailable);
  }
  const char kFailed[] =
      "Failed to check Win10 internal interface availability";
  DWORD attributes = ::GetFileAttributesW(system.executable.c_str());
  if (system.executable.empty() || attributes == INVALID_FILE_ATTRIBUTES ||
      (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    PLOG(ERROR) << kFailed << ": "
                << "can't get installer exe path.";
    return answer(false, kInterfaceProbeFailed);
  }
  std::wstring command_line =
      L"\"" + system.executable + L"\" --check-the-interface";
  base::LaunchOptions options;
  options.application = system.executable.c_str();
  const base::Process process = base::Process::Launch(command_line, options);
  if (!process.IsValid()) {
    PLOG(ERROR) << kFailed << ": "
                << "can't run installer: " << command_line;
    return answer(false, kInterfaceProbeFailed);
  }
  // An exit code that cannot be read counts as 0.
  DWORD exit_code = 0;
  const base::Process::WaitResult waited =
      process.WaitForExit(kInterfaceProbeWaitMs, &exit_code);
  if (waited == base::Process::WaitResult::kTimedOut ||
      waited == base::Process::WaitResult::kWaitFailed) {
    process.Terminate(22);
    PLOG(ERROR) << kFailed << ", "
                << " installer was terminated by timeout.";
    return answer(false, kInterfaceProbeTimedOut);
  }
  const int32_t result = static_cast<int32_t>(exit_code);
  if (result < 0) {
    PLOG(ERROR) << kFailed << ","
                << " ret code: " << result << ", installer crashed";
    return answer(false, kInterfaceProbeCrashed);
  }
  if (result == 700 || result == 701) {
    LOG(INFO) << "Successfuly checked Win10 internal interface availability: "
              << "availability: " << (result == 700 ? 1 : 0);
    return result == 700 ? answer(true, kInterfaceAvailable)
                         : answer(false, kInterfaceNotAvailable);
  }
  PLOG(ERROR) << kFailed << ", unknown ret code: " << result;
  return answer(false, kInterfaceProbeFailed);
}

bool IsInternalInterfaceAvailableSafeCheck(uint32_t* code) {
  return IsInternalInterfaceAvailableSafeCheck(CurrentInterfaceProbeSystem(),
                                               code);
}

}  // namespace zarvex
