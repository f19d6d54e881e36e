#include "lite_installer/variations_file.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <utility>

#include "base/base64.h"
#include "lite_util/internet_downloader.h"
#include "lite_util/logging/log_message.h"

namespace lite {

ScopedJson BuildVariationsJson(const VariationsResponse& response,
                               std::string* failed_key,
                               std::string* failed_value) {
  const std::string seed = base::Base64Encode(std::span<const uint8_t>(
      reinterpret_cast<const uint8_t*>(response.body.data()),
      response.body.size()));
  const std::pair<const char*, const std::string*> members[] = {
      {"variations_seed_base64", &seed},
      {"variations_seed_signature", &response.signature},
      {"variations_last_modified_time", &response.last_modified},
      {"variations_country", &response.country},
  };
  ScopedJson object(json_object());
  if (!object) return nullptr;
  for (const auto& [key, value] : members) {
    // json_stringn refuses text that is not UTF-8 and keeps NUL bytes.
    if (json_object_set_new(object.get(), key,
                            json_stringn(value->data(), value->size())) != 0) {
      if (failed_key) *failed_key = key;
      if (failed_value) *failed_value = *value;
      return nullptr;
    }
  }
  return object;
}

std::string FormatVariationsJson(const VariationsResponse& response) {
  ScopedJson object = BuildVariationsJson(response);
  if (!object) return std::string();
  char* text = json_dumps(object.get(), 0);
  if (!text) return std::string();
  std::string result(text);
  std::free(text);
  return result;
}

bool SaveVariations(const std::wstring& path,
                    const VariationsResponse& response) {
  std::string failed_key;
  std::string failed_value;
  ScopedJson object = BuildVariationsJson(response, &failed_key, &failed_value);
  if (!object) {
    LOG(ERROR) << "Failed to serialize variations value " << failed_key << ": "
               << failed_value;
    return false;
  }
  FILE* file = ::_wfopen(path.c_str(), L"w+");
  if (!file) {
    LOG(ERROR) << "Failed to open variations file " << path;
    return false;
  }
  auto close_file = [](FILE* open_file) {
    if (std::fclose(open_file) != 0) {
      LOG(ERROR) << "Failed to close FILE";
      return false;
    }
    return true;
  };
  const int dumped = json_dumpf(object.get(), file, 0);
  if (dumped != 0) {
    LOG(ERROR) << "Failed to save downloaded variations update to " << path
               << " error=" << dumped;
    close_file(file);
    return false;
  }
  return close_file(file);
}

bool DownloadAndSaveVariations(const std::string& url, const std::wstring& path,
                               HANDLE stop_event) {
  InternetDownloader downloader;
  VariationsResponse response;
  if (!downloader.DownloadToString(url, stop_event, &response.body)) {
    LOG(ERROR) << "Failed to download variations seed: "
               << downloader.error_text();
    return false;
  }
  response.signature = downloader.GetResponseHeader("X-Seed-Signature");
  if (response.signature.empty()) {
    LOG(ERROR) << "Failed to get variations seed signature";
    return false;
  }
  response.last_modified = downloader.GetResponseHeader("Last-Modified");
  response.country = downloader.GetResponseHeader("X-Country");
  if (!SaveVariations(path, response)) {
    LOG(ERROR) << "Failed to save variations in " << path;
    return false;
  }
  LOG(INFO) << "Variations are saved in " << path;
  return true;
}

}  // namespace lite
