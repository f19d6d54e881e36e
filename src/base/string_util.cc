#include "base/string_util.h"

#include <windows.h>

#include <charconv>
#include <utility>

namespace base {

std::string WideToUTF8(std::wstring_view wide) {
  if (wide.empty()) return std::string();
  int size = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(),
                                   static_cast<int>(wide.size()), nullptr, 0,
                                   nullptr, nullptr);
  if (size <= 0) return std::string();
  std::string result(static_cast<size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                        result.data(), size, nullptr, nullptr);
  return result;
}

std::wstring UTF8ToWide(std::string_view utf8) {
  if (utf8.empty()) return std::wstring();
  int size = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(),
                                   static_cast<int>(utf8.size()), nullptr, 0);
  if (size <= 0) return std::wstring();
  std::wstring result(static_cast<size_t>(size), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                        result.data(), size);
  return result;
}

std::string NarrowLowBytes(std::wstring_view wide) {
  std::string result;
  result.reserve(wide.size());
  for (wchar_t c : wide) result.push_back(static_cast<char>(c & 0xFF));
  return result;
}

bool NarrowWidenedBytes(std::wstring_view wide, std::string* bytes) {
  bytes->clear();
  std::string result;
  result.reserve(wide.size());
  for (wchar_t c : wide) {
    if (c > 0xFF && c < 0xFF80) return false;
    result.push_back(static_cast<char>(c & 0xFF));
  }
  *bytes = std::move(result);
  return true;
}

std::wstring WidenSignedBytes(std::string_view bytes) {
  std::wstring result;
  result.reserve(bytes.size());
  for (char c : bytes) {
    result.push_back(static_cast<wchar_t>(
        static_cast<int16_t>(static_cast<signed char>(c))));
  }
  return result;
}

std::string ToLowerASCII(std::string_view text) {
  std::string result(text);
  for (char& c : result) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return result;
}

std::string ToUpperASCII(std::string_view text) {
  std::string result(text);
  for (char& c : result) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return result;
}

bool IsUnicodeWhitespace(wchar_t c) {
  switch (c) {
    case 0x0009:
    case 0x000A:
    case 0x000B:
    case 0x000C:
    case 0x000D:
    case 0x0020:
    case 0x0085:
    case 0x00A0:
    case 0x1680:
    case 0x2028:
    case 0x2029:
    case 0x202F:
    case 0x205F:
    case 0x3000:
      return true;
    default:
      return c >= 0x2000 && c <= 0x200A;
  }
}

std::wstring TrimWhitespace(std::wstring_view text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsUnicodeWhitespace(text[begin])) ++begin;
  while (end > begin && IsUnicodeWhitespace(text[end - 1])) --end;
  return std::wstring(text.substr(begin, end - begin));
}

// Numbers are formatted here rather than by the C library's printf family,
// whose mingw-w64 implementation brings about 30 KB of floating-point
// conversion into the executable for integers only.
namespace {

// Appends `digits`, zero-padded on the left to at least `width` characters.
void AppendPadded(std::string* out, std::string_view digits, int width) {
  if (width > 0 && digits.size() < static_cast<size_t>(width)) {
    out->append(static_cast<size_t>(width) - digits.size(), '0');
  }
  out->append(digits);
}

}  // namespace

void AppendDecimal(std::string* out, int64_t value, int width) {
  // The magnitude in 64 unsigned bits, so the most negative value fits too.
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value)
                                 : static_cast<uint64_t>(value);
  char digits[24];
  char* end = std::to_chars(digits, digits + sizeof(digits), magnitude).ptr;
  if (value < 0) {
    out->push_back('-');
    --width;
  }
  AppendPadded(out, std::string_view(digits, end - digits), width);
}

void AppendHex(std::string* out, uint64_t value, int width, bool upper_case) {
  char digits[20];
  char* end = std::to_chars(digits, digits + sizeof(digits), value, 16).ptr;
  if (upper_case) {
    for (char* c = digits; c != end; ++c) {
      if (*c >= 'a' && *c <= 'f') *c = static_cast<char>(*c - 'a' + 'A');
    }
  }
  AppendPadded(out, std::string_view(digits, end - digits), width);
}

std::string NumberToString(int64_t value) {
  std::string text;
  AppendDecimal(&text, value);
  return text;
}

std::string NumberToString(uint64_t value) {
  char digits[24];
  char* end = std::to_chars(digits, digits + sizeof(digits), value).ptr;
  return std::string(digits, end);
}

std::string NumberToString(int32_t value) {
  return NumberToString(static_cast<int64_t>(value));
}

std::string NumberToString(uint32_t value) {
  return NumberToString(static_cast<uint64_t>(value));
}

bool StringToUint32(std::string_view text, uint32_t* value) {
  if (text.empty() || text.size() > 10) return false;
  uint64_t result = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    result = result * 10 + static_cast<uint64_t>(c - '0');
  }
  if (result > 0xFFFFFFFFull) return false;
  *value = static_cast<uint32_t>(result);
  return true;
}

std::wstring WidenBytes(std::string_view bytes) {
  std::wstring wide;
  wide.reserve(bytes.size());
  for (unsigned char c : bytes) wide += static_cast<wchar_t>(c);
  return wide;
}

}  // namespace base
