// The variations seed (or the experiment configuration) as the browser
// reads it at its first start: the downloaded body and three of the
// response's headers in one JSON object.
#ifndef LITE_INSTALLER_VARIATIONS_FILE_H_
#define LITE_INSTALLER_VARIATIONS_FILE_H_

#include <windows.h>

#include <string>

#include "lite_util/json_with_comments.h"

namespace lite {

// What a variations answer brought.
struct VariationsResponse {
  std::string body;
  std::string signature;      // "X-Seed-Signature"
  std::string last_modified;  // "Last-Modified", as received
  std::string country;        // "X-Country", as received (empty if absent)
};

// The file's JSON object: "variations_seed_base64" (the body in Base64),
// "variations_seed_signature", "variations_last_modified_time" and
// "variations_country", in that order. Null when a value cannot be stored
// (text that is not UTF-8); then `failed_key` and `failed_value` (both
// optional) name it.
ScopedJson BuildVariationsJson(const VariationsResponse& response,
                               std::string* failed_key = nullptr,
                               std::string* failed_value = nullptr);

// The file's text: the object in Jansson's default formatting. Empty when
// the object cannot be built.
std::string FormatVariationsJson(const VariationsResponse& response);

// Writes the object to `path` (created or truncated). Logs each failure.
bool SaveVariations(const std::wstring& path,
                    const VariationsResponse& response);

// Downloads `url` into memory and saves it with the response's
// "X-Seed-Signature", "Last-Modified" and "X-Country" headers as a
// variations file at `path`. Stops early when `stop_event` is set. Writes
// nothing when the download fails or the signature header is missing.
bool DownloadAndSaveVariations(const std::string& url, const std::wstring& path,
                               HANDLE stop_event);

}  // namespace lite

#endif  // LITE_INSTALLER_VARIATIONS_FILE_H_
