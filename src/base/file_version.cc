#include "base/file_version.h"

#include <vector>

#include "base/string_util.h"

namespace base {

bool ReadFixedFileInfo(const std::wstring& path, VS_FIXEDFILEINFO* info) {
  DWORD handle = 0;
  DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &handle);
  if (size == 0) return false;
  std::vector<BYTE> data(size);
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT fixed_size = 0;
  if (!::GetFileVersionInfoW(path.c_str(), 0, size, data.data()) ||
      !::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed),
                        &fixed_size) ||
      !fixed || fixed_size < sizeof(VS_FIXEDFILEINFO)) {
    return false;
  }
  *info = *fixed;
  return true;
}

std::string FileVersionText(const VS_FIXEDFILEINFO& info) {
  auto part = [](DWORD value) {
    return NumberToString(static_cast<uint32_t>(value));
  };
  return part(HIWORD(info.dwFileVersionMS)) + "." +
         part(LOWORD(info.dwFileVersionMS)) + "." +
         part(HIWORD(info.dwFileVersionLS)) + "." +
         part(LOWORD(info.dwFileVersionLS));
}

}  // namespace base
