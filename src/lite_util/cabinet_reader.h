// Unpacks a cabinet archive held in memory with the system's cabinet.dll
// (FDI), never touching the disk.
#ifndef LITE_UTIL_CABINET_READER_H_
#define LITE_UTIL_CABINET_READER_H_

#include <map>
#include <string>
#include <string_view>

namespace lite {

// File name (as stored in the cabinet) -> the file's bytes.
using CabinetFiles = std::map<std::string, std::string>;

// Extracts the files of `cabinet` into `files`; with a non-empty
// `wanted_name` only the file of exactly that name. Returns FDI's verdict;
// `files` holds whatever was extracted either way. Spanning cabinets are
// refused.
bool ExtractFilesFromCabinet(std::string_view cabinet,
                             const std::string& wanted_name,
                             CabinetFiles* files);

}  // namespace lite

#endif  // LITE_UTIL_CABINET_READER_H_
