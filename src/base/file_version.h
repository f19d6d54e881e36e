// The fixed part of a file's version resource.
#ifndef BASE_FILE_VERSION_H_
#define BASE_FILE_VERSION_H_

#include <windows.h>

#include <string>

namespace base {

// Reads the VS_FIXEDFILEINFO of `path`; false when the file has no (whole)
// version resource.
bool ReadFixedFileInfo(const std::wstring& path, VS_FIXEDFILEINFO* info);

// "a.b.c.d" of the file version.
std::string FileVersionText(const VS_FIXEDFILEINFO& info);

}  // namespace base

#endif  // BASE_FILE_VERSION_H_
