#include "lite_util/json_with_comments.h"

#include "lite_util/json_comments.h"

namespace lite {

ScopedJson LoadJsonWithComments(std::string_view text) {
  StrippedJson stripped = StripJsonComments(text);
  if (!stripped.ok) return nullptr;
  return ScopedJson(
      json_loadb(stripped.text.data(), stripped.text.size(), 0, nullptr));
}

}  // namespace lite
