#pragma once
// A rasterised font: the built-in Liberation Sans Bold at one size, every byte of the code page
// rendered once into 8-bit coverage when the font is made, so drawing only reads.
#include <array>
#include <cstdint>
#include <vector>

namespace gdi {

struct Glyph {
  std::int32_t left = 0;     // from the pen position to the bitmap's first column
  std::int32_t top = 0;      // from the baseline up to the bitmap's first row
  std::int32_t width = 0;    // columns of coverage (also the row stride)
  std::int32_t rows = 0;
  std::int32_t advance = 0;  // whole pixels, hinted
  std::uint32_t offset = 0;  // first coverage byte in the font's store
};

class Font {
 public:
  // Pixel size (ppem), cell height and ascent in pixels.
  int PixelSize() const { return FPixelSize; }
  int CellHeight() const { return FCellHeight; }
  int Ascent() const { return FAscent; }
  // The smallest left bearing of any glyph (drawing can stop once the pen is past the clip by it).
  int MinLeft() const { return FMinLeft; }
  const Glyph& GlyphOf(std::uint8_t byte) const { return FGlyphs[byte]; }
  const std::uint8_t* Coverage(const Glyph& g) const { return FCoverage.data() + g.offset; }

 private:
  friend class FontMaker;
  Font() = default;
  int FPixelSize = 0, FCellHeight = 0, FAscent = 0, FMinLeft = 0;
  std::array<Glyph, 256> FGlyphs{};
  std::vector<std::uint8_t> FCoverage;
};

// Cell heights above this are refused: each font holds all its glyphs rendered.
inline constexpr int kMaxCellHeight = 256;

// The shared font for a height as CreateFontA takes it: positive, the cell height (ascent plus
// descent by the face's Windows metrics); negative, the em size in pixels; 0, a cell height of 16.
// Made once per size for the whole process and never freed. nullptr when the size is out of range
// or the built-in face cannot be loaded.
Font* SharedFont(int height);
// The device context's own font: cell height 16.
Font* DefaultFont();

}  // namespace gdi
