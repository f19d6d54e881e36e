// A DLL that leaves a trace when it is loaded: on process attach it creates
// the file "<its own path>.loaded" (for example "C:\dir\version.dll.loaded"),
// so a test that places copies of it under system DLL names beside a program
// learns which of them the program loaded. It exports nothing.
#include <windows.h>

#include <cwchar>

#include "base/scoped_handle.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  constexpr wchar_t kSuffix[] = L".loaded";
  wchar_t path[MAX_PATH + sizeof(kSuffix) / sizeof(kSuffix[0])];
  DWORD length = ::GetModuleFileNameW(instance, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return TRUE;
  std::wcscpy(path + length, kSuffix);
  base::ScopedFile file(::CreateFileW(path, GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                      nullptr));
  return TRUE;
}
