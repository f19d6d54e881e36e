// Distribution parameter texts: every key and value comes from the text.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "lite_installer/brand/distrib_params_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  size_t total = 0;
  for (const auto& [key, value] : lite::ParseDistribParamsText(text)) {
    if (key.find('&') != std::string_view::npos ||
        value.find('&') != std::string_view::npos ||
        key.find('=') != std::string_view::npos) {
      __builtin_trap();
    }
    total += key.size() + value.size();
  }
  if (total > size) __builtin_trap();
  return 0;
}
