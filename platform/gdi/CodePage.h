#pragma once
// The system's single-byte code page (Windows-1252) as Unicode code points.
#include <cstdint>

namespace gdi {

// The code point a byte of text stands for. The five bytes that the code page leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the control code of the same number, as Windows maps them.
char32_t UnicodeFromCp1252(std::uint8_t byte);

}  // namespace gdi
