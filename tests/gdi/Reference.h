#pragma once
// Liberation Sans Bold straight from FreeType, sized the way a Windows cell height asks for: the
// em size that makes the face's Windows ascent + descent as tall as the cell, in whole pixels.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <cmath>
#include <cstdint>
#include <vector>

#include "assets/Assets.h"

namespace gdi_test {

struct RefGlyph {
  int left = 0, top = 0, width = 0, rows = 0, advance = 0;
  double unhintedAdvance = 0;
  unsigned index = 0;
  std::vector<std::uint8_t> coverage;
};

class Reference {
 public:
  explicit Reference(int cellHeight) {
    const auto bytes = assets::Find("LiberationSans-Bold");
    ok = !bytes.empty() && FT_Init_FreeType(&lib) == 0 &&
         FT_New_Memory_Face(lib, bytes.data(), static_cast<FT_Long>(bytes.size()), 0, &face) == 0;
    if (!ok) return;
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    winAscent = os2->usWinAscent;
    winDescent = os2->usWinDescent;
    unitsPerEm = face->units_per_EM;
    ppem = static_cast<int>(std::lround(double(cellHeight) * unitsPerEm / (winAscent + winDescent)));
    ascent = static_cast<int>(std::lround(double(winAscent) * ppem / unitsPerEm));
    ok = FT_Set_Pixel_Sizes(face, 0, ppem) == 0;
  }
  ~Reference() {
    if (face) FT_Done_Face(face);
    if (lib) FT_Done_FreeType(lib);
  }
  Reference(const Reference&) = delete;
  Reference& operator=(const Reference&) = delete;

  RefGlyph Render(char32_t codePoint) const {
    RefGlyph g;
    g.index = FT_Get_Char_Index(face, codePoint);
    if (FT_Load_Glyph(face, g.index, FT_LOAD_DEFAULT) != 0) return g;
    g.advance = static_cast<int>((face->glyph->advance.x + 32) >> 6);
    g.unhintedAdvance = face->glyph->linearHoriAdvance / 65536.0;
    if (FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) != 0) return g;
    const FT_Bitmap& bm = face->glyph->bitmap;
    g.left = face->glyph->bitmap_left;
    g.top = face->glyph->bitmap_top;
    g.width = static_cast<int>(bm.width);
    g.rows = static_cast<int>(bm.rows);
    for (int y = 0; y < g.rows; ++y)
      for (int x = 0; x < g.width; ++x) g.coverage.push_back(bm.buffer[y * bm.pitch + x]);
    return g;
  }

  bool ok = false;
  int ppem = 0, ascent = 0;
  long winAscent = 0, winDescent = 0, unitsPerEm = 0;

 private:
  FT_Library lib = nullptr;
  FT_Face face = nullptr;
};

}  // namespace gdi_test
