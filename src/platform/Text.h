#pragma once
// Byte text in the platform's multibyte encoding, and the path-delimiter rules that depend on it.

#include <cstdarg>
#include <cstddef>
#include <string>
#include <string_view>

namespace stowra {

enum class Codepage { Utf8, Cp932 };

#ifdef _WIN32
inline constexpr char kPathDelimiter = '\\';
inline constexpr Codepage kNativeCodepage = Codepage::Cp932;
#else
inline constexpr char kPathDelimiter = '/';
inline constexpr Codepage kNativeCodepage = Codepage::Utf8;
#endif

// True when byte c starts a double-byte character in the code page (its next byte is a trail byte
// and may equal a delimiter's code, as the second byte of 表 or ソ does in code page 932).
bool IsLeadByte(unsigned char c, Codepage cp);

// True when the last character of text, read as characters of the code page, is the delimiter.
bool EndsWithDelimiter(std::string_view text, char delimiter, Codepage cp);

// The text with the delimiter appended unless it is empty or already ends in one.
std::string AddTrailingDelimiter(std::string_view text, char delimiter, Codepage cp);

// Number of delimiter characters, trail bytes of double-byte characters not counted.
std::size_t CountDelimiters(std::string_view text, char delimiter, Codepage cp);

#ifdef _WIN32
// Appends the Unicode code points of a name in the ANSI code page; bytes without a character
// stand for one '_' each. Returns whether the name is all ASCII.
bool AppendAnsiCodePoints(std::string_view bytes, std::u32string& out);
// The text in UTF-8 (for formats that must be, like JSON); false when some byte is no character of
// the ANSI code page.
bool AnsiToUtf8(std::string_view text, std::string& utf8);
// The text in the ANSI code page; false when it is not UTF-8 or holds a character the code page
// cannot spell exactly (such characters then stand as the code page's default character).
bool Utf8ToAnsi(std::string_view utf8, std::string& ansi);
#endif

// Replaces every delimiter character `from` by `to`; trail bytes of double-byte characters that
// look like `from` stay as they are.
void ReplaceDelimiters(std::string& text, char from, char to, Codepage cp);

// The platform's own rule: native delimiter, native code page.
std::string AddTrailingBackslash(std::string_view text);

// printf-style formatting into a string of whatever length it needs.
// (gnu_printf: on Windows the C runtime used is MinGW's own C99 printf, which takes %zu and %llu.)
std::string Format(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));
std::string FormatV(const char* format, va_list args);

}  // namespace stowra
