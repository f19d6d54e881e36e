// File and path helpers used by start-up and the logger.
#ifndef BASE_FILE_UTIL_H_
#define BASE_FILE_UTIL_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace base {

// The user's temporary directory as GetTempPathW reports it (with its
// trailing backslash); empty when the call fails or the path has 260 or more
// characters.
std::wstring GetTempDirectory();

// A drive letter, a colon and a separator ("C:\"), or a leading double
// separator (a network or device path): a path that names the same place
// whatever the current directory and drive.
bool IsFullyQualifiedPath(std::wstring_view path);

// The longest folder GetTempFileNameW takes (MAX_PATH - 14 characters), so
// that the file's path fits in MAX_PATH characters.
inline constexpr size_t kMaxTempFileDirectoryLength = 246;

// Creates a new empty file with a unique name (up to three characters of
// `prefix`, hexadecimal digits, ".tmp") in `directory`, which must be fully
// qualified and at most kMaxTempFileDirectoryLength characters long (a
// trailing separator is optional). Returns the file's path; empty on
// failure, with the last error set (ERROR_BAD_PATHNAME for an empty or
// relative folder, ERROR_FILENAME_EXCED_RANGE for one that is too long).
std::wstring CreateTempFileIn(const std::wstring& directory,
                              const wchar_t* prefix);

// `directory` (ending in a separator, as GetTempDirectory gives it) followed
// by `name`; empty, with ERROR_BAD_PATHNAME, when `directory` is not fully
// qualified, so that a missing folder never turns into a path relative to
// the current directory.
std::wstring PathInDirectory(const std::wstring& directory,
                             std::wstring_view name);

// Full path of the running executable; empty on failure.
std::wstring GetExecutablePath();
// The same, but empty when the path does not fit in MAX_PATH characters
// (where callers hand it to APIs with that limit).
std::wstring GetExecutablePathWithinMaxPath();

// Everything before the last backslash or slash; empty when there is none.
std::wstring DirectoryPart(const std::wstring& path);
// Everything after the last backslash or slash.
std::wstring FileNamePart(const std::wstring& path);

bool FileExists(const std::wstring& path);
bool DirectoryExists(const std::wstring& path);

// Creates `path` and its missing parents. True when the directory exists
// afterwards. Leaves the last-error code of the failing call.
bool CreateDirectoryRecursive(const std::wstring& path);

// Deletes a directory with everything below it. True when it is gone.
// Junctions and symbolic links are removed as links: the folders they point
// to are never entered.
bool DeleteDirectoryRecursive(const std::wstring& path);

// Creates a new, uniquely named directory inside `parent` (which must end in
// a separator or be empty) and returns its path, or empty on failure.
std::wstring CreateUniqueDirectory(const std::wstring& parent);

// Creates or replaces `path` with `bytes`, holding it exclusively while
// writing. A write that fails part-way deletes the file, so no truncated
// copy is left behind; the system's error code is kept for the caller.
bool WriteBytesToFile(const std::wstring& path, std::string_view bytes);

// Reads a whole file of less than `max_size` bytes.
bool ReadFileToString(const std::wstring& path, std::string* bytes,
                      uint64_t max_size = 64ull << 20);

}  // namespace base

#endif  // BASE_FILE_UTIL_H_
