// Owners of kernel objects, files, registry keys, modules and system-made
// memory, each closed or freed on every path (see scoped_generic.h).
#ifndef BASE_SCOPED_HANDLE_H_
#define BASE_SCOPED_HANDLE_H_

#include <windows.h>

#include "base/scoped_generic.h"

namespace base {

// A kernel handle (event, mutex, thread, process, mapping, token ...); null
// and INVALID_HANDLE_VALUE are both "not valid".
struct HandleTraits {
  static HANDLE InvalidValue() { return nullptr; }
  static bool IsValid(HANDLE handle) {
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
  }
  void Free(HANDLE handle) const { ::CloseHandle(handle); }
};
using ScopedHandle = ScopedGeneric<HANDLE, HandleTraits>;

// A file from CreateFileW or ReOpenFile: empty, it holds
// INVALID_HANDLE_VALUE, as those calls answer on failure.
struct FileTraits : HandleTraits {
  static HANDLE InvalidValue() { return INVALID_HANDLE_VALUE; }
};
using ScopedFile = ScopedGeneric<HANDLE, FileTraits>;

struct RegistryKeyTraits {
  static HKEY InvalidValue() { return nullptr; }
  static bool IsValid(HKEY key) { return key != nullptr; }
  void Free(HKEY key) const { ::RegCloseKey(key); }
};
using ScopedRegistryKey = ScopedGeneric<HKEY, RegistryKeyTraits>;

// A module from LoadLibraryExW.
struct ModuleTraits {
  static HMODULE InvalidValue() { return nullptr; }
  static bool IsValid(HMODULE module) { return module != nullptr; }
  void Free(HMODULE module) const { ::FreeLibrary(module); }
};
using ScopedModule = ScopedGeneric<HMODULE, ModuleTraits>;

// Memory the system allocated for the caller with LocalAlloc
// (CommandLineToArgvW, CRYPT_DECODE_ALLOC_FLAG, FormatMessage ...).
template <typename T>
struct LocalMemoryTraits {
  static T* InvalidValue() { return nullptr; }
  static bool IsValid(T* memory) { return memory != nullptr; }
  void Free(T* memory) const { ::LocalFree(memory); }
};
template <typename T>
using ScopedLocalMemory = ScopedGeneric<T*, LocalMemoryTraits<T>>;

// A search from FindFirstFileW.
struct FindHandleTraits {
  static HANDLE InvalidValue() { return INVALID_HANDLE_VALUE; }
  static bool IsValid(HANDLE find) { return find != INVALID_HANDLE_VALUE; }
  void Free(HANDLE find) const { ::FindClose(find); }
};
using ScopedFindHandle = ScopedGeneric<HANDLE, FindHandleTraits>;

// A view from MapViewOfFile.
struct MappedViewTraits {
  static void* InvalidValue() { return nullptr; }
  static bool IsValid(void* view) { return view != nullptr; }
  void Free(void* view) const { ::UnmapViewOfFile(view); }
};
using ScopedMappedView = ScopedGeneric<void*, MappedViewTraits>;

}  // namespace base

#endif  // BASE_SCOPED_HANDLE_H_
