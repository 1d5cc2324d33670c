#include "platform/gdi/Gdi.h"

#include <algorithm>
#include <limits>

#include "platform/ddraw/DDraw.h"
#include "platform/gdi/Font.h"

namespace gdi {

namespace {

// A half-open pixel box in 64-bit coordinates, so that no sum of positions and advances overflows.
struct Box {
  std::int64_t left = 0, top = 0, right = 0, bottom = 0;
  bool Empty() const { return right <= left || bottom <= top; }
  Box Meet(const Box& o) const {
    return {std::max(left, o.left), std::max(top, o.top), std::min(right, o.right), std::min(bottom, o.bottom)};
  }
};

bool Usable(const Bits& b) { return b.pixels && b.width > 0 && b.height > 0 && b.pitch >= b.width; }

// The pixels a context may write: none when its memory is not usable.
Box Drawable(const DC& dc) { return Usable(dc.bits) ? Box{0, 0, dc.bits.width, dc.bits.height} : Box{}; }

bool Inside(const DC* dc, int x, int y) {
  return dc && Usable(dc->bits) && x >= 0 && y >= 0 && x < dc->bits.width && y < dc->bits.height;
}

std::uint32_t* PixelAt(const Bits& b, std::int64_t x, std::int64_t y) {
  return b.pixels + y * static_cast<std::int64_t>(b.pitch) + x;
}

// round(v / 255) for v in 0 … 255 * 255.
constexpr std::uint32_t Div255(std::uint32_t v) { return (v + 128 + ((v + 128) >> 8)) >> 8; }

std::uint32_t Blend(std::uint32_t dst, std::uint32_t src, std::uint32_t a) {
  const std::uint32_t na = 255 - a;
  const std::uint32_t r = Div255(((src >> 16) & 0xFF) * a + ((dst >> 16) & 0xFF) * na);
  const std::uint32_t g = Div255(((src >> 8) & 0xFF) * a + ((dst >> 8) & 0xFF) * na);
  const std::uint32_t b = Div255((src & 0xFF) * a + (dst & 0xFF) * na);
  return (dst & 0xFF000000u) | (r << 16) | (g << 8) | b;
}

void Fill(const Bits& bits, const Box& box, std::uint32_t pixel) {
  for (std::int64_t y = box.top; y < box.bottom; ++y) {
    std::uint32_t* row = PixelAt(bits, 0, y);
    for (std::int64_t x = box.left; x < box.right; ++x) row[x] = (row[x] & 0xFF000000u) | pixel;
  }
}

void DrawGlyph(const Bits& bits, const Font& font, const Glyph& g, std::int64_t x, std::int64_t y,
               const Box& area, std::uint32_t pixel) {
  const Box box = Box{x, y, x + g.width, y + g.rows}.Meet(area);
  if (box.Empty()) return;
  const std::uint8_t* coverage = font.Coverage(g);
  for (std::int64_t py = box.top; py < box.bottom; ++py) {
    const std::uint8_t* src = coverage + (py - y) * g.width;
    std::uint32_t* row = PixelAt(bits, 0, py);
    for (std::int64_t px = box.left; px < box.right; ++px) {
      const std::uint32_t a = src[px - x];
      if (a == 255)
        row[px] = (row[px] & 0xFF000000u) | pixel;
      else if (a != 0)
        row[px] = Blend(row[px], pixel, a);
    }
  }
}

const Font* FontOf(const DC& dc) { return dc.font ? dc.font : DefaultFont(); }

std::int64_t Advance(const Font& font, const char* text, std::size_t i, const int* dx) {
  return dx ? dx[i] : font.GlyphOf(static_cast<std::uint8_t>(text[i])).advance;
}

std::int64_t Width(const Font& font, const char* text, std::size_t length, const int* dx) {
  std::int64_t w = 0;
  for (std::size_t i = 0; i < length; ++i) w += Advance(font, text, i, dx);
  return w;
}

// Draws `length` bytes with the cell's top-left corner at (x, y), inside the context's memory and,
// when given, inside `clip`. Allocates nothing.
bool Draw(DC& dc, int x, int y, const char* text, std::size_t length, const Box* clip, const int* dx) {
  if (length > 0 && !text) return false;
  const Font* font = FontOf(dc);
  if (!font) return false;
  Box area = Drawable(dc);
  if (clip) area = area.Meet(*clip);
  if (area.Empty() || length == 0) return true;

  if (dc.bkMode == OPAQUE) {
    const Box cell{x, y, x + Width(*font, text, length, dx), static_cast<std::int64_t>(y) + font->CellHeight()};
    const Box fill = cell.Meet(area);
    if (!fill.Empty()) Fill(dc.bits, fill, PixelFromColor(dc.bkColor));
  }
  const std::uint32_t pixel = PixelFromColor(dc.textColor);
  const std::int64_t baseline = static_cast<std::int64_t>(y) + font->Ascent();
  std::int64_t pen = x;
  for (std::size_t i = 0; i < length; ++i) {
    // Advances are never negative, so nothing further along can reach into the area.
    if (!dx && pen + font->MinLeft() >= area.right) break;
    const Glyph& g = font->GlyphOf(static_cast<std::uint8_t>(text[i]));
    if (g.rows > 0) DrawGlyph(dc.bits, *font, g, pen + g.left, baseline - g.top, area, pixel);
    pen += Advance(*font, text, i, dx);
  }
  return true;
}

}  // namespace

HFONT CreateFontA(int height, int /*width*/, int /*escapement*/, int /*orientation*/, int /*weight*/,
                  std::uint32_t /*italic*/, std::uint32_t /*underline*/, std::uint32_t /*strikeOut*/,
                  std::uint32_t /*charSet*/, std::uint32_t /*outPrecision*/, std::uint32_t /*clipPrecision*/,
                  std::uint32_t /*quality*/, std::uint32_t /*pitchAndFamily*/, const char* /*faceName*/) {
  // One face is built in, Liberation Sans Bold, and it serves every face name and weight.
  return SharedFont(height);
}

HFONT SelectObject(HDC dc, HFONT font) {
  if (!dc) return nullptr;
  HFONT previous = dc->font;
  dc->font = font;
  return previous;
}

// Fonts are shared for the life of the process: deleting one only ends the caller's use of it.
bool DeleteObject(HFONT font) { return font != nullptr; }

int SetBkMode(HDC dc, int mode) {
  if (!dc || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
  const int previous = dc->bkMode;
  dc->bkMode = mode;
  return previous;
}

COLORREF SetTextColor(HDC dc, COLORREF color) {
  if (!dc) return CLR_INVALID;
  const COLORREF previous = dc->textColor;
  dc->textColor = color & 0x00FFFFFF;
  return previous;
}

bool TextOutA(HDC dc, int x, int y, const char* text, int length) {
  if (!dc || length < 0) return false;
  return Draw(*dc, x, y, text, static_cast<std::size_t>(length), nullptr, nullptr);
}

bool ExtTextOutA(HDC dc, int x, int y, std::uint32_t options, const ddraw::RECT* rect, const char* text,
                 std::uint32_t length, const int* dx) {
  if (!dc) return false;
  if ((options & ETO_CLIPPED) && rect) {
    const Box clip{rect->left, rect->top, rect->right, rect->bottom};
    return Draw(*dc, x, y, text, length, &clip, dx);
  }
  return Draw(*dc, x, y, text, length, nullptr, dx);
}

bool GetTextExtentPoint32A(HDC dc, const char* text, int length, SIZE* size) {
  if (!dc || !size || length < 0 || (length > 0 && !text)) return false;
  const Font* font = FontOf(*dc);
  if (!font) return false;
  const std::int64_t w = Width(*font, text, static_cast<std::size_t>(length), nullptr);
  size->cx = static_cast<std::int32_t>(std::min<std::int64_t>(w, std::numeric_limits<std::int32_t>::max()));
  size->cy = font->CellHeight();
  return true;
}

COLORREF GetPixel(HDC dc, int x, int y) {
  if (!Inside(dc, x, y)) return CLR_INVALID;
  return ColorFromPixel(*PixelAt(dc->bits, x, y));
}

COLORREF SetPixel(HDC dc, int x, int y, COLORREF color) {
  if (!Inside(dc, x, y)) return CLR_INVALID;
  std::uint32_t* p = PixelAt(dc->bits, x, y);
  *p = (*p & 0xFF000000u) | PixelFromColor(color);
  return color & 0x00FFFFFF;
}

}  // namespace gdi
