#include "base/file_util.h"

#include <windows.h>

#include <algorithm>

#include "base/scoped_handle.h"
#include "base/string_util.h"

namespace base {

std::wstring GetTempDirectory() {
  wchar_t buffer[MAX_PATH + 1];
  DWORD length = ::GetTempPathW(MAX_PATH + 1, buffer);
  if (length == 0 || length >= MAX_PATH) return std::wstring();
  return std::wstring(buffer, length);
}

bool IsFullyQualifiedPath(std::wstring_view path) {
  auto separator = [](wchar_t c) { return c == L'\\' || c == L'/'; };
  if (path.size() >= 2 && separator(path[0]) && separator(path[1])) {
    return true;
  }
  if (path.size() < 3) return false;
  const wchar_t drive = path[0] | 0x20;
  return drive >= L'a' && drive <= L'z' && path[1] == L':' &&
         separator(path[2]);
}

std::wstring CreateTempFileIn(const std::wstring& directory,
                              const wchar_t* prefix) {
  if (!IsFullyQualifiedPath(directory)) {
    ::SetLastError(ERROR_BAD_PATHNAME);
    return std::wstring();
  }
  // GetTempFileNameW does not check the folder's length itself everywhere
  // (Wine writes past the buffer).
  if (directory.size() > kMaxTempFileDirectoryLength) {
    ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return std::wstring();
  }
  static_assert(kMaxTempFileDirectoryLength == MAX_PATH - 14);
  wchar_t path[MAX_PATH];
  if (!::GetTempFileNameW(directory.c_str(), prefix, 0, path)) {
    return std::wstring();
  }
  return path;
}

std::wstring PathInDirectory(const std::wstring& directory,
                             std::wstring_view name) {
  if (!IsFullyQualifiedPath(directory)) {
    ::SetLastError(ERROR_BAD_PATHNAME);
    return std::wstring();
  }
  return directory + std::wstring(name);
}

std::wstring GetExecutablePathWithinMaxPath() {
  wchar_t buffer[MAX_PATH];
  DWORD length = ::GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::wstring();
  return std::wstring(buffer, length);
}

std::wstring GetExecutablePath() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(),
                                        static_cast<DWORD>(buffer.size()));
    if (length == 0) return std::wstring();
    if (length < buffer.size()) {
      buffer.resize(length);
      return buffer;
    }
    buffer.resize(buffer.size() * 2);
  }
  return std::wstring();
}

static size_t LastSeparator(const std::wstring& path) {
  return path.find_last_of(L"\\/");
}

std::wstring DirectoryPart(const std::wstring& path) {
  size_t separator = LastSeparator(path);
  return separator == std::wstring::npos ? std::wstring()
                                         : path.substr(0, separator);
}

std::wstring FileNamePart(const std::wstring& path) {
  size_t separator = LastSeparator(path);
  return separator == std::wstring::npos ? path : path.substr(separator + 1);
}

bool FileExists(const std::wstring& path) {
  DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::wstring& path) {
  DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool CreateDirectoryRecursive(const std::wstring& path) {
  if (path.empty()) return false;
  if (DirectoryExists(path)) return true;
  std::wstring parent = DirectoryPart(path);
  // Stop at a drive root ("C:") or a share root; those cannot be created.
  if (!parent.empty() && parent != path &&
      !(parent.size() == 2 && parent[1] == L':') &&
      !CreateDirectoryRecursive(parent)) {
    return false;
  }
  if (::CreateDirectoryW(path.c_str(), nullptr)) return true;
  DWORD error = ::GetLastError();
  if (error == ERROR_ALREADY_EXISTS && DirectoryExists(path)) return true;
  ::SetLastError(error);
  return false;
}

bool DeleteDirectoryRecursive(const std::wstring& path) {
  // A junction or symbolic link is removed itself; what it points to is
  // never entered.
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    return ::RemoveDirectoryW(path.c_str()) || !DirectoryExists(path);
  }
  WIN32_FIND_DATAW data;
  std::wstring pattern = path + L"\\*";
  ScopedFindHandle find(::FindFirstFileW(pattern.c_str(), &data));
  if (find.IsValid()) {
    do {
      std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      std::wstring child = path + L"\\" + name;
      const bool link = data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT;
      if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && link) {
        ::RemoveDirectoryW(child.c_str());
      } else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        DeleteDirectoryRecursive(child);
      } else {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) {
          ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        }
        ::DeleteFileW(child.c_str());
      }
    } while (::FindNextFileW(find.Get(), &data));
    find.Reset();  // before the folder itself goes
  }
  return ::RemoveDirectoryW(path.c_str()) || !DirectoryExists(path);
}

std::wstring CreateUniqueDirectory(const std::wstring& parent) {
  for (int attempt = 0; attempt < 50; ++attempt) {
    LARGE_INTEGER counter;
    ::QueryPerformanceCounter(&counter);
    std::string name = "lite";
    AppendHex(&name, ::GetCurrentProcessId(), 8, false);
    AppendHex(&name, (counter.LowPart + attempt) & 0xFFFF, 4, false);
    std::wstring path = parent + WidenBytes(name);
    if (::CreateDirectoryW(path.c_str(), nullptr)) return path;
    if (::GetLastError() != ERROR_ALREADY_EXISTS) return std::wstring();
  }
  return std::wstring();
}

bool WriteBytesToFile(const std::wstring& path, std::string_view bytes) {
  ScopedHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                  nullptr));
  if (!file.IsValid()) return false;
  size_t offset = 0;
  while (offset < bytes.size()) {
    DWORD chunk =
        static_cast<DWORD>(std::min<size_t>(bytes.size() - offset, 1u << 30));
    DWORD written = 0;
    if (!::WriteFile(file.Get(), bytes.data() + offset, chunk, &written,
                     nullptr) ||
        written == 0) {
      DWORD error = ::GetLastError();
      file.Reset();
      ::DeleteFileW(path.c_str());
      ::SetLastError(error ? error : ERROR_WRITE_FAULT);
      return false;
    }
    offset += written;
  }
  return true;
}

bool ReadFileToString(const std::wstring& path, std::string* bytes,
                      uint64_t max_size) {
  bytes->clear();
  ScopedHandle file(::CreateFileW(
      path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) return false;
  LARGE_INTEGER size;
  if (!::GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0 ||
      static_cast<uint64_t>(size.QuadPart) >= max_size) {
    return false;
  }
  bytes->resize(static_cast<size_t>(size.QuadPart));
  size_t offset = 0;
  while (offset < bytes->size()) {
    DWORD read = 0;
    if (!::ReadFile(file.Get(), bytes->data() + offset,
                    static_cast<DWORD>(bytes->size() - offset), &read,
                    nullptr) ||
        read == 0) {
      bytes->clear();
      return false;
    }
    offset += read;
  }
  return true;
}

}  // namespace base
