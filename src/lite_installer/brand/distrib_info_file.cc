#include "lite_installer/brand/distrib_info_file.h"

#include <windows.h>

#include <jansson.h>

#include "base/file_util.h"
#include "base/scoped_handle.h"
#include "lite_util/logging/log_message.h"

namespace lite {

std::optional<std::string> DistribParamsJson(
    const std::map<std::string, std::string>& params) {
  json_t* object = json_object();
  if (!object) return std::nullopt;
  for (const auto& [key, value] : params) {
    // json_stringn refuses invalid UTF-8; so does a key that is not.
    json_t* string = json_stringn(value.data(), value.size());
    if (string) json_object_setn_new(object, key.data(), key.size(), string);
  }
  char* dump = json_dumps(object, JSON_INDENT(2));
  json_decref(object);
  if (!dump) return std::nullopt;
  std::string text = dump;
  free(dump);
  return text;
}

std::wstring CreateJsonFromDistribParams(
    const std::map<std::string, std::string>& params,
    const std::wstring& temp_directory) {
  std::wstring path = base::PathInDirectory(temp_directory, L"distrib_info");
  if (path.empty()) {
    PLOG(ERROR) << "Write json to file error";
    return path;
  }
  std::optional<std::string> text = DistribParamsJson(params);
  if (!text) {
    PLOG(ERROR) << "Can't create json dump";
    return path;
  }
  base::ScopedHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr,
                                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                        nullptr));
  DWORD written = 0;
  if (!file.IsValid() ||
      !::WriteFile(file.Get(), text->data(), static_cast<DWORD>(text->size()),
                   &written, nullptr) ||
      written != text->size()) {
    PLOG(ERROR) << "Write json to file error";
  }
  return path;
}

}  // namespace lite
