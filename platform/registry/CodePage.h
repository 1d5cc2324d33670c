#pragma once
// The hive's files hold UTF-8, as TOML requires; the system's texts are single-byte code page 1252.
// Values cross between the two here, as the registry's single-byte interface converts its texts.
#include <string>
#include <string_view>

namespace registry {

// Every byte has a character: the five bytes code page 1252 leaves unassigned stand for the control
// characters of the same number, so any text comes back byte for byte.
std::string Utf8FromAnsi(std::string_view text);

// Valid UTF-8 in (the parser checks that); a character without a code page 1252 byte reads as "?".
std::string AnsiFromUtf8(std::string_view text);

}  // namespace registry
