#include "lite_util/json_comments.h"

namespace lite {

StrippedJson StripJsonComments(std::string_view text) {
  // The text ends at its first NUL byte, as a C string read by json_loads.
  text = text.substr(0, text.find('\0'));
  StrippedJson result;
  result.text.reserve(text.size());
  const size_t size = text.size();
  size_t i = 0;
  while (i < size) {
    char c = text[i];
    if (c == '"') {
      // Copy the string token through its closing quote (or the end).
      size_t start = i++;
      while (i < size && text[i] != '"') {
        i += text[i] == '\\' ? 2 : 1;
      }
      if (i < size) ++i;  // the closing quote
      if (i > size) i = size;
      result.text.append(text.substr(start, i - start));
      continue;
    }
    if (c != '/') {
      result.text.push_back(c);
      ++i;
      continue;
    }
    if (i + 1 >= size || (text[i + 1] != '/' && text[i + 1] != '*')) {
      result.error = "unexpected character";
      result.text.clear();
      return result;
    }
    if (text[i + 1] == '/') {
      i += 2;
      while (i < size && text[i] != '\n' && text[i] != '\r') ++i;
    } else {
      // The opening asterisk does not count toward the closing "*/".
      i += 2;
      bool closed = false;
      while (i + 1 < size) {
        if (text[i] == '*' && text[i + 1] == '/') {
          i += 2;
          closed = true;
          break;
        }
        ++i;
      }
      if (!closed) {
        result.error = "premature end of input";
        result.text.clear();
        return result;
      }
    }
    result.text.push_back(' ');
  }
  result.ok = true;
  return result;
}

}  // namespace lite
