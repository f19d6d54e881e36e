// Reads JSON texts that may hold comments, into Jansson's object model.
#ifndef LITE_UTIL_JSON_WITH_COMMENTS_H_
#define LITE_UTIL_JSON_WITH_COMMENTS_H_

#include <jansson.h>

#include <memory>
#include <string_view>

namespace lite {

struct JsonDeleter {
  void operator()(json_t* json) const { json_decref(json); }
};
using ScopedJson = std::unique_ptr<json_t, JsonDeleter>;

// The text's single array or object (followed by nothing but white space
// and comments), or null when the text is not acceptable. Like json_loads,
// reads up to the first NUL byte.
ScopedJson LoadJsonWithComments(std::string_view text);

}  // namespace lite

#endif  // LITE_UTIL_JSON_WITH_COMMENTS_H_
