#pragma once
// Text and single pixels on a surface's device context. Text is single-byte code page 1252; the
// "Arial" face is served by the built-in Liberation Sans Bold (metric-compatible).
#include <cstdint>

namespace ddraw {
struct RECT;
}

namespace gdi {

using COLORREF = std::uint32_t;  // 0x00BBGGRR
constexpr COLORREF RGB(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) | (static_cast<COLORREF>(b) << 16);
}
inline constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;

// A surface pixel (0x00RRGGBB) from a COLORREF and back.
constexpr std::uint32_t PixelFromColor(COLORREF c) {
  return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}
constexpr COLORREF ColorFromPixel(std::uint32_t p) { return PixelFromColor(p & 0xFFFFFF); }

inline constexpr int TRANSPARENT = 1, OPAQUE = 2;
inline constexpr std::uint32_t ETO_CLIPPED = 0x4;
inline constexpr int FW_NORMAL = 400, FW_BOLD = 700;
inline constexpr std::uint32_t ANSI_CHARSET = 0, OUT_DEFAULT_PRECIS = 0, CLIP_DEFAULT_PRECIS = 0,
                               PROOF_QUALITY = 2, VARIABLE_PITCH = 2;

struct SIZE {
  std::int32_t cx = 0, cy = 0;
};

class Font;
using HFONT = Font*;

// The memory a device context draws into: 32-bit pixels 0x00RRGGBB.
struct Bits {
  std::uint32_t* pixels = nullptr;
  std::int32_t width = 0, height = 0;
  std::int32_t pitch = 0;  // pixels per row
};

// A device context; surfaces hand one out over their own memory (GetDC/ReleaseDC).
struct DC {
  Bits bits;
  HFONT font = nullptr;  // none: the context's default font
  COLORREF textColor = 0;
  int bkMode = OPAQUE;
  COLORREF bkColor = RGB(255, 255, 255);
};
using HDC = DC*;

// A font of `height` pixels cell height (ascent + descent by the face's Windows metrics). Every face
// name and weight is served by the one built-in face, Liberation Sans Bold; a font of each height is
// made once for the whole process with all its glyphs rendered, so creating one per frame costs
// nothing and DeleteObject of it is harmless. nullptr above 256 pixels.
HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, std::uint32_t italic,
                  std::uint32_t underline, std::uint32_t strikeOut, std::uint32_t charSet,
                  std::uint32_t outPrecision, std::uint32_t clipPrecision, std::uint32_t quality,
                  std::uint32_t pitchAndFamily, const char* faceName);
// Selects `font` into the context and returns the previous one.
HFONT SelectObject(HDC dc, HFONT font);
bool DeleteObject(HFONT font);
int SetBkMode(HDC dc, int mode);
COLORREF SetTextColor(HDC dc, COLORREF color);
bool TextOutA(HDC dc, int x, int y, const char* text, int length);
bool ExtTextOutA(HDC dc, int x, int y, std::uint32_t options, const ddraw::RECT* rect, const char* text,
                 std::uint32_t length, const int* dx);
bool GetTextExtentPoint32A(HDC dc, const char* text, int length, SIZE* size);
COLORREF GetPixel(HDC dc, int x, int y);
COLORREF SetPixel(HDC dc, int x, int y, COLORREF color);

}  // namespace gdi
