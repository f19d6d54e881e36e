// Conversions between the program's two string kinds: wide (UTF-16) for
// paths, command lines and window texts, 8-bit for switch names, log text
// and URLs.
#ifndef BASE_STRING_UTIL_H_
#define BASE_STRING_UTIL_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace base {

// UTF-8 <-> UTF-16. Invalid sequences are replaced by U+FFFD.
std::string WideToUTF8(std::wstring_view wide);
std::wstring UTF8ToWide(std::string_view utf8);

// Keeps the low byte of every UTF-16 unit.
std::string NarrowLowBytes(std::wstring_view wide);
// The bytes that WidenSignedBytes or WidenBytes made `wide` from: every unit
// must stand for one byte (U+0000..U+00FF, or U+FF80..U+FFFF for a byte
// widened as a signed number). False, with `bytes` empty, when one does not
// (U+0131 is no "1"): for 8-bit text read back from the registry.
bool NarrowWidenedBytes(std::wstring_view wide, std::string* bytes);
// Widens byte by byte, each byte taken as a signed 8-bit number (so bytes
// 0x80..0xFF become 0xFF80..0xFFFF).
std::wstring WidenSignedBytes(std::string_view bytes);
// Widens byte by byte, each byte taken as unsigned (ASCII text such as URLs).
std::wstring WidenBytes(std::string_view bytes);

// ASCII-only lower-casing.
std::string ToLowerASCII(std::string_view text);
std::string ToUpperASCII(std::string_view text);

// Removes leading and trailing white space (ASCII and the Unicode spaces).
std::wstring TrimWhitespace(std::wstring_view text);
bool IsUnicodeWhitespace(wchar_t c);

// Decimal forms; the parser accepts only digits (no sign, no blanks) that
// fit in 32 bits.
std::string NumberToString(int64_t value);
std::string NumberToString(uint64_t value);
std::string NumberToString(int32_t value);
std::string NumberToString(uint32_t value);
bool StringToUint32(std::string_view text, uint32_t* value);

// Appends the decimal digits of `value`, with a leading '-' when negative,
// zero-padded after the sign to at least `width` characters in all (as
// printf's "%0<width>lld" writes them).
void AppendDecimal(std::string* out, int64_t value, int width = 0);
// Appends the hexadecimal digits of `value`, zero-padded to at least `width`
// digits (as "%0<width>llx", or "%0<width>llX" with `upper_case`).
void AppendHex(std::string* out, uint64_t value, int width, bool upper_case);

}  // namespace base

#endif  // BASE_STRING_UTIL_H_
