#include "lite_util/cabinet_reader.h"

#include <windows.h>

#include <fdi.h>

#include <algorithm>
#include <new>
#include <string>

#include "lite_util/memory_cursor.h"

namespace lite {
namespace {

// cabinet.dll is loaded at run time (there is no import library for it) and
// stays loaded for the rest of the process.
struct CabinetApi {
  decltype(&::FDICreate) create = nullptr;
  decltype(&::FDIDestroy) destroy = nullptr;
  decltype(&::FDICopy) copy = nullptr;
};

HMODULE LoadCabinetLibrary() {
  static const wchar_t* const kCandidates[] = {
      L"%WINDIR%\\system32\\cabinet.dll",
      L"%SYSTEMROOT%\\system32\\cabinet.dll",
      L"C:\\Windows\\system32\\cabinet.dll",
  };
  for (const wchar_t* candidate : kCandidates) {
    wchar_t path[MAX_PATH];
    DWORD length = ::ExpandEnvironmentStringsW(candidate, path, MAX_PATH);
    if (length < 1 || length > MAX_PATH) continue;
    if (HMODULE module =
            ::LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH)) {
      return module;
    }
  }
  return nullptr;
}

const CabinetApi* GetCabinetApi() {
  static const CabinetApi api = [] {
    CabinetApi result;
    HMODULE module = LoadCabinetLibrary();
    if (!module) return result;
    result.create = reinterpret_cast<decltype(&::FDICreate)>(
        ::GetProcAddress(module, "FDICreate"));
    result.destroy = reinterpret_cast<decltype(&::FDIDestroy)>(
        ::GetProcAddress(module, "FDIDestroy"));
    result.copy = reinterpret_cast<decltype(&::FDICopy)>(
        ::GetProcAddress(module, "FDICopy"));
    return result;
  }();
  if (!api.create || !api.destroy || !api.copy) return nullptr;
  return &api;
}

// FDI hands our handles back to the file callbacks; each says what it is.
struct Handle {
  enum class Kind { kSource, kOutput };
  explicit Handle(Kind kind) : kind(kind) {}
  Kind kind;
};

struct SourceHandle : Handle {
  explicit SourceHandle(std::string_view bytes)
      : Handle(Kind::kSource), cursor(bytes) {}
  MemoryCursor cursor;
};

struct ExtractionState {
  std::string_view source;
  std::string source_name;  // what FDICopy passes to the open callback
  const std::string* wanted_name;
  CabinetFiles* files;
  Handle output_handle{Handle::Kind::kOutput};
  std::string output;
  uint32_t announced_size = 0;  // of the file being extracted
};

// The extraction running on this thread; the open callback only ever opens
// its source.
thread_local ExtractionState* g_current = nullptr;

void* DIAMONDAPI Alloc(ULONG size) {
  return ::HeapAlloc(::GetProcessHeap(), 0, size);
}

void DIAMONDAPI Free(void* memory) {
  ::HeapFree(::GetProcessHeap(), 0, memory);
}

INT_PTR DIAMONDAPI Open(char* name, int, int) {
  if (!g_current || !name || g_current->source_name != name) return -1;
  auto* handle = new (std::nothrow) SourceHandle(g_current->source);
  return handle ? reinterpret_cast<INT_PTR>(handle) : -1;
}

SourceHandle* AsSource(INT_PTR value) {
  auto* handle = reinterpret_cast<Handle*>(value);
  if (!handle || handle->kind != Handle::Kind::kSource) return nullptr;
  return static_cast<SourceHandle*>(handle);
}

UINT DIAMONDAPI Read(INT_PTR value, void* buffer, UINT count) {
  SourceHandle* source = AsSource(value);
  if (!source) return static_cast<UINT>(-1);
  return static_cast<UINT>(source->cursor.Read(buffer, count));
}

UINT DIAMONDAPI Write(INT_PTR value, void* buffer, UINT count) {
  auto* handle = reinterpret_cast<Handle*>(value);
  if (!g_current || handle != &g_current->output_handle) {
    return static_cast<UINT>(-1);
  }
  try {
    g_current->output.append(static_cast<const char*>(buffer), count);
  } catch (const std::bad_alloc&) {
    return static_cast<UINT>(-1);
  }
  return count;
}

int DIAMONDAPI Close(INT_PTR value) {
  delete AsSource(value);
  return 0;
}

LONG DIAMONDAPI Seek(INT_PTR value, LONG distance, int origin) {
  SourceHandle* source = AsSource(value);
  if (!source) return -1;
  return static_cast<LONG>(source->cursor.Seek(distance, origin));
}

// The announced size of a file is only a hint: reserve no more than this up
// front, whatever a damaged header claims.
constexpr size_t kMaxReserve = 16 << 20;

INT_PTR DIAMONDAPI Notify(FDINOTIFICATIONTYPE type, PFDINOTIFICATION info) {
  auto* state = static_cast<ExtractionState*>(info->pv);
  switch (type) {
    case fdintCABINET_INFO:
    case fdintENUMERATE:
      return 0;
    case fdintCOPY_FILE: {
      const char* name = info->psz1 ? info->psz1 : "";
      if (!state->wanted_name->empty() && *state->wanted_name != name) {
        return 0;
      }
      state->output.clear();
      state->announced_size = info->cb;
      try {
        state->output.reserve(std::min<size_t>(info->cb, kMaxReserve));
      } catch (const std::bad_alloc&) {
        return -1;
      }
      return reinterpret_cast<INT_PTR>(&state->output_handle);
    }
    case fdintCLOSE_FILE_INFO: {
      // A file cut short by damaged data is also closed; only a whole one
      // is delivered.
      if (state->output.size() != state->announced_size) {
        state->output.clear();
        return TRUE;
      }
      const char* name = info->psz1 ? info->psz1 : "";
      (*state->files)[name] = std::move(state->output);
      state->output.clear();
      return TRUE;
    }
    default:
      // Partial files and further cabinets: spanning is not supported.
      return -1;
  }
}

}  // namespace

bool ExtractFilesFromCabinet(std::string_view cabinet,
                             const std::string& wanted_name,
                             CabinetFiles* files) {
  files->clear();
  const CabinetApi* api = GetCabinetApi();
  if (!api) return false;

  ERF error = {};
  HFDI context = api->create(Alloc, Free, Open, Read, Write, Close, Seek,
                             cpuUNKNOWN, &error);
  if (!context) return false;

  ExtractionState state;
  state.source = cabinet;
  state.source_name = std::to_string(
      static_cast<unsigned long>(reinterpret_cast<uintptr_t>(cabinet.data())));
  state.wanted_name = &wanted_name;
  state.files = files;

  ExtractionState* previous = g_current;
  g_current = &state;
  std::string name = state.source_name;  // FDICopy takes a mutable string
  char empty_path[1] = "";
  BOOL copied =
      api->copy(context, name.data(), empty_path, 0, Notify, nullptr, &state);
  g_current = previous;
  api->destroy(context);
  return copied != FALSE;
}

}  // namespace lite
