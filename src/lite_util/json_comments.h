// Comments in JSON texts: the installer's configurations may carry "//" line
// comments and "/* */" block comments between tokens. This unit turns such
// a text into plain JSON; it works on bytes only and never reads past them.
#ifndef LITE_UTIL_JSON_COMMENTS_H_
#define LITE_UTIL_JSON_COMMENTS_H_

#include <string>
#include <string_view>

namespace lite {

struct StrippedJson {
  bool ok = false;
  // The text with every comment replaced by one blank (so a comment still
  // separates what stood around it and cannot join two tokens).
  std::string text;
  // "unexpected character" or "premature end of input" when !ok.
  std::string error;
};

// Removes the comments that stand between tokens. Slashes inside strings are
// kept. A "/" not followed by "/" or "*" is an error, as is an unclosed
// block comment. The text ends at its first NUL byte (as the C string that
// json_loads reads would), so the result holds none.
StrippedJson StripJsonComments(std::string_view text);

}  // namespace lite

#endif  // LITE_UTIL_JSON_COMMENTS_H_
