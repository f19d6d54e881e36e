#include "lite_installer/bin_resources.h"

#include "base/string_util.h"

namespace lite {

std::string BinResources::Load(int id) const {
  return LoadResource(MAKEINTRESOURCEW(id));
}

std::string BinResources::Load(const std::string& name) const {
  return LoadResource(base::UTF8ToWide(name).c_str());
}

std::string BinResources::LoadResource(const wchar_t* name) const {
  HMODULE module = module_ ? module_ : ::GetModuleHandleW(nullptr);
  HRSRC info = ::FindResourceW(module, name, L"BIN");
  if (!info) return std::string();
  DWORD size = ::SizeofResource(module, info);
  HGLOBAL handle = ::LoadResource(module, info);
  const void* data = handle ? ::LockResource(handle) : nullptr;
  if (!data || size == 0) return std::string();
  return std::string(static_cast<const char*>(data), size);
}

}  // namespace lite
