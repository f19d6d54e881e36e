// GUIDs as text.
#ifndef BASE_GUID_H_
#define BASE_GUID_H_

#include <windows.h>

#include <string>

namespace base {

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper-case hexadecimal, as
// StringFromGUID2 writes it: 38 characters.
std::string GuidToString(const GUID& guid);

// A new random GUID (CoCreateGuid) in the form above; empty when none could
// be made.
std::string NewGuidString();

}  // namespace base

#endif  // BASE_GUID_H_
