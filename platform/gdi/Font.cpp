#include "platform/gdi/Font.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cstring>
#include <mutex>

#include "assets/Assets.h"
#include "platform/vcl/CodePage.h"

namespace gdi {

namespace {

// The built-in face, opened on first use.
struct Face {
  bool tried = false;
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  long unitsPerEm = 0, winAscent = 0, winDescent = 0;
};

struct Registry {
  std::mutex table;   // held only to look a font up or add one
  std::mutex making;  // held while FreeType renders a new font; FreeType is used under it alone
  std::vector<std::pair<int, Font*>> fonts;  // by requested height; guarded by `table`
  Face face;                                 // guarded by `making`
};

// Never destroyed: the frame thread may still draw while the process ends.
Registry& Fonts() {
  static Registry* registry = new Registry;
  return *registry;
}

Font* Lookup(Registry& r, int height) {
  for (const auto& [h, font] : r.fonts)
    if (h == height) return font;
  return nullptr;
}

bool OpenFace(Face& f) {
  if (f.tried) return f.face != nullptr;
  f.tried = true;
  const auto bytes = assets::Find("LiberationSans-Bold");
  if (bytes.empty() || FT_Init_FreeType(&f.library) != 0) return false;
  if (FT_New_Memory_Face(f.library, bytes.data(), static_cast<FT_Long>(bytes.size()), 0, &f.face) != 0 ||
      !FT_IS_SCALABLE(f.face) || f.face->units_per_EM == 0) {
    if (f.face) FT_Done_Face(f.face);
    f.face = nullptr;
    return false;
  }
  f.unitsPerEm = f.face->units_per_EM;
  const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(f.face, FT_SFNT_OS2));
  if (os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
    f.winAscent = os2->usWinAscent;
    f.winDescent = os2->usWinDescent;
  } else {  // no Windows metrics: the horizontal header's
    f.winAscent = std::max<long>(f.face->ascender, 0);
    f.winDescent = std::max<long>(-f.face->descender, 0);
    if (f.winAscent + f.winDescent == 0) f.winAscent = f.unitsPerEm;
  }
  return true;
}

long RoundDiv(long long a, long long b) { return static_cast<long>((2 * a + b) / (2 * b)); }

}  // namespace

class FontMaker {
 public:
  static Font* Make(Face& f, int height) {
    const long long cellUnits = f.winAscent + f.winDescent;
    long long ppem = 0, cell = 0;
    if (height > 0) {
      cell = height;
      ppem = std::max<long>(1, RoundDiv(cell * f.unitsPerEm, cellUnits));
    } else {
      ppem = -static_cast<long long>(height);
      if (ppem > kMaxCellHeight) return nullptr;
      cell = std::max<long>(1, RoundDiv(ppem * cellUnits, f.unitsPerEm));
    }
    if (cell > kMaxCellHeight || ppem > kMaxCellHeight) return nullptr;
    if (FT_Set_Pixel_Sizes(f.face, 0, static_cast<FT_UInt>(ppem)) != 0) return nullptr;

    auto* font = new Font;
    font->FPixelSize = static_cast<int>(ppem);
    font->FCellHeight = static_cast<int>(cell);
    font->FAscent = static_cast<int>(std::clamp<long long>(RoundDiv(f.winAscent * ppem, f.unitsPerEm), 0, cell));
    int minLeft = 0;
    for (int b = 0; b < 256; ++b) {
      Glyph& g = font->FGlyphs[b];
      const FT_UInt index = FT_Get_Char_Index(f.face, vcl::UnicodeFromCp1252(static_cast<std::uint8_t>(b)));
      if (FT_Load_Glyph(f.face, index, FT_LOAD_DEFAULT) != 0) continue;
      FT_GlyphSlot slot = f.face->glyph;
      g.advance = static_cast<std::int32_t>((slot->advance.x + 32) >> 6);
      if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) continue;
      const FT_Bitmap& bm = slot->bitmap;
      if (bm.pixel_mode != FT_PIXEL_MODE_GRAY || bm.width == 0 || bm.rows == 0) continue;
      g.left = slot->bitmap_left;
      g.top = slot->bitmap_top;
      g.width = static_cast<std::int32_t>(bm.width);
      g.rows = static_cast<std::int32_t>(bm.rows);
      g.offset = static_cast<std::uint32_t>(font->FCoverage.size());
      font->FCoverage.resize(font->FCoverage.size() + bm.width * bm.rows);
      for (unsigned row = 0; row < bm.rows; ++row) {
        const unsigned char* src = bm.buffer + static_cast<std::ptrdiff_t>(row) * bm.pitch;
        std::memcpy(font->FCoverage.data() + g.offset + row * bm.width, src, bm.width);
      }
      minLeft = std::min(minLeft, g.left);
    }
    font->FMinLeft = minLeft;
    font->FCoverage.shrink_to_fit();
    return font;
  }
};

Font* SharedFont(int height) {
  if (height == 0) height = 16;
  Registry& r = Fonts();
  {
    std::lock_guard lock(r.table);
    if (Font* font = Lookup(r, height)) return font;
  }
  // Rendering takes milliseconds: it runs outside the table lock so that drawing with fonts
  // already made never waits for it.
  std::lock_guard making(r.making);
  {
    std::lock_guard lock(r.table);
    if (Font* font = Lookup(r, height)) return font;
  }
  if (!OpenFace(r.face)) return nullptr;
  Font* font = FontMaker::Make(r.face, height);
  if (!font) return nullptr;
  std::lock_guard lock(r.table);
  r.fonts.emplace_back(height, font);
  return font;
}

Font* DefaultFont() {
  static Font* const font = SharedFont(16);
  return font;
}

}  // namespace gdi
