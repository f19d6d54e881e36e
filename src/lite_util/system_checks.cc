#include "lite_util/system_checks.h"

#include <windows.h>

#include <shlobj.h>

#include "base/string_util.h"
#include "lite_util/logging/log_message.h"

namespace lite {

bool IsProcessorSupported(int* message_id) {
  bool sse2 = ::IsProcessorFeaturePresent(PF_XMMI64_INSTRUCTIONS_AVAILABLE);
  bool sse3 = ::IsProcessorFeaturePresent(PF_SSE3_INSTRUCTIONS_AVAILABLE);
  if (sse2 && sse3) return true;
  if (message_id) *message_id = sse3 ? kMessageNoSse2 : kMessageNoSse3;
  return false;
}

bool HasEnoughDiskSpace(bool system_level, uint64_t bytes) {
  wchar_t folder[MAX_PATH];
  int csidl = system_level ? CSIDL_PROGRAM_FILES : CSIDL_LOCAL_APPDATA;
  if (FAILED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT,
                                folder))) {
    LOG(INFO) << "SHGetFolderPath failed";
    return true;
  }
  ULARGE_INTEGER available;
  if (!::GetDiskFreeSpaceExW(folder, &available, nullptr, nullptr)) {
    LOG(INFO) << "GetDiskFreeSpaceEx failed";
    return true;
  }
  if (available.QuadPart >= bytes) return true;
  LOG(INFO) << "There is not enough disk space to install browser";
  return false;
}

}  // namespace lite

namespace lite {

bool IsCryptoProException(const DelayLoadFailure& failure) {
  constexpr uint32_t kDelayLoadModuleNotFound = 0xC06D007E;
  return failure.code == kDelayLoadModuleNotFound &&
         base::ToLowerASCII(failure.dll_name) == "cplib.dll" &&
         base::ToLowerASCII(failure.procedure_name).find("cryptopro") !=
             std::string::npos;
}

}  // namespace lite
