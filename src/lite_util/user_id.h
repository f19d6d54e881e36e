// The user id: a GUID created once per Windows user, kept in a file in the
// roaming application data folder and marked in the registry.
#ifndef LITE_UTIL_USER_ID_H_
#define LITE_UTIL_USER_ID_H_

#include <string>

namespace lite {

// <roaming app data>\Zarvex\ui; `create` creates the folders. Empty on
// failure.
std::wstring GetUserIdFilePath(bool create);

// The id as stored (braced upper-case GUID when this program made it), or
// empty. Reads the file, else creates a new id unless the "UI created"
// marker says one was made before. Not cached.
std::string GetUserIdInternal();

// GetUserIdInternal() without one surrounding pair of braces.
std::string GetUserId();

// The id file's content rules: 1 to 64 bytes.
constexpr size_t kMaxUserIdLength = 64;

}  // namespace lite

#endif  // LITE_UTIL_USER_ID_H_
