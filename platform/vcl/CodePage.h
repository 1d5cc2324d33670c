#pragma once
// The system's single-byte code page (Windows-1252): its characters as Unicode code points, and
// texts crossing to and from UTF-8 (the hive's TOML files, the X window system's names).
#include <cstdint>
#include <string>
#include <string_view>

namespace vcl {

// The code point a byte stands for. The five bytes the code page leaves unassigned (0x81, 0x8D,
// 0x8F, 0x90, 0x9D) stand for the control characters of the same number, so any text comes back
// byte for byte.
char32_t UnicodeFromCp1252(std::uint8_t byte);

// The byte of a code point, or -1 when the code page has none.
int Cp1252FromUnicode(char32_t c);

std::string Utf8FromAnsi(std::string_view text);

// Valid UTF-8 in (invalid sequences read as "?"); a character without a code page byte reads as "?".
std::string AnsiFromUtf8(std::string_view text);

}  // namespace vcl
