#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "Canvas.h"
#include "Reference.h"
#include "platform/gdi/Gdi.h"

using namespace gdi;
using namespace gdi_test;

namespace {

std::uint32_t Channel(std::uint32_t p, int shift) { return (p >> shift) & 0xFF; }

// What a pixel becomes under text of `color` with coverage `a`, rounded to nearest.
std::uint32_t Expected(std::uint32_t dst, std::uint32_t color, std::uint32_t a) {
  std::uint32_t out = 0;
  for (int shift : {0, 8, 16}) {
    const double v = (Channel(color, shift) * a + Channel(dst, shift) * (255.0 - a)) / 255.0;
    out |= static_cast<std::uint32_t>(std::lround(v)) << shift;
  }
  return out;
}

// The coverage our renderer lays down: white text on black, read back from the red channel.
Canvas CoverageOf(const std::string& text, int height, int x, int y, int w, int h) {
  Canvas c(w, h, 0);
  SelectObject(&c.dc, Arial(height));
  SetBkMode(&c.dc, TRANSPARENT);
  SetTextColor(&c.dc, RGB(255, 255, 255));
  EXPECT_TRUE(TextOutA(&c.dc, x, y, text.data(), static_cast<int>(text.size())));
  return c;
}

}  // namespace

TEST(Text, CellHeightPicksTheEmSizeOfTheWindowsMetrics) {
  struct Case {
    int height, ppem;
  } cases[] = {{22, 20}, {16, 14}, {12, 11}, {30, 27}};
  for (const auto& c : cases) {
    Reference ref(c.height);
    ASSERT_TRUE(ref.ok);
    EXPECT_EQ(ref.ppem, c.ppem) << c.height;
    EXPECT_EQ(std::lround(double(ref.winAscent + ref.winDescent) * ref.ppem / ref.unitsPerEm), c.height);
    DC dc;
    SelectObject(&dc, Arial(c.height));
    SIZE size;
    ASSERT_TRUE(GetTextExtentPoint32A(&dc, "x", 1, &size));
    EXPECT_EQ(size.cy, c.height);
  }
}

TEST(Text, WidthIsTheSumOfTheHintedAdvances) {
  struct Case {
    int height;
    const char* text;
  } cases[] = {{22, "22:35"}, {22, "9:05 PM"}, {16, "Frame rate: 25 FPS"}, {22, "-3\xB0 / 12\xB0"}, {22, ""}};
  for (const auto& c : cases) {
    Reference ref(c.height);
    ASSERT_TRUE(ref.ok);
    int sum = 0;
    for (const char* p = c.text; *p; ++p) {
      const RefGlyph g = ref.Render(static_cast<unsigned char>(*p));
      EXPECT_NEAR(g.advance, g.unhintedAdvance, 1.0) << c.text;
      sum += g.advance;
    }
    DC dc;
    SelectObject(&dc, Arial(c.height));
    SIZE size;
    ASSERT_TRUE(GetTextExtentPoint32A(&dc, c.text, static_cast<int>(std::strlen(c.text)), &size));
    EXPECT_EQ(size.cx, sum) << c.text;
    EXPECT_EQ(size.cy, c.height);
  }
  DC dc;
  SelectObject(&dc, Arial(22));
  SIZE size;
  ASSERT_TRUE(GetTextExtentPoint32A(&dc, "22:35", 5, &size));
  EXPECT_GT(size.cx, 40);  // five bold digits and a colon are no narrow text
  EXPECT_LT(size.cx, 60);
}

TEST(Text, EachByteDrawsTheGlyphOfItsCodePoint) {
  struct Case {
    unsigned char byte;
    char32_t codePoint;
  } cases[] = {{'A', U'A'}, {0xB0, U'\u00B0'}, {0x80, U'\u20AC'}, {0x96, U'\u2013'},
               {0x9F, U'\u0178'}, {0xE9, U'\u00E9'}, {'g', U'g'}};
  constexpr int kHeight = 22, kX = 10, kY = 5;
  Reference ref(kHeight);
  ASSERT_TRUE(ref.ok);
  for (const auto& c : cases) {
    const RefGlyph g = ref.Render(c.codePoint);
    EXPECT_NE(g.index, 0u) << int(c.byte);  // the face has it: not the missing-glyph box
    const Canvas canvas = CoverageOf(std::string(1, static_cast<char>(c.byte)), kHeight, kX, kY, 50, 40);
    int ink = 0;
    for (int y = 0; y < canvas.height; ++y)
      for (int x = 0; x < canvas.width; ++x) {
        const int gx = x - (kX + g.left), gy = y - (kY + ref.ascent - g.top);
        const bool inside = gx >= 0 && gy >= 0 && gx < g.width && gy < g.rows;
        const std::uint32_t a = inside ? g.coverage[gy * g.width + gx] : 0;
        ASSERT_EQ(canvas.At(x, y), a * 0x010101u) << "byte " << int(c.byte) << " at " << x << "," << y;
        ink += a > 0;
        if (a > 0) {  // the ink stays inside the cell
          EXPECT_GE(y, kY);
          EXPECT_LT(y, kY + kHeight);
        }
      }
    EXPECT_GT(ink, 0) << int(c.byte);
  }
}

TEST(Text, DegreeByteIsARingAboveTheBaseline) {
  constexpr int kHeight = 22, kX = 4, kY = 2;
  Reference ref(kHeight);
  const Canvas c = CoverageOf("\xB0", kHeight, kX, kY, 30, 30);
  int left = 99, right = -1, top = 99, bottom = -1;
  for (int y = 0; y < c.height; ++y)
    for (int x = 0; x < c.width; ++x)
      if (Channel(c.At(x, y), 16) >= 128) {
        left = std::min(left, x), right = std::max(right, x);
        top = std::min(top, y), bottom = std::max(bottom, y);
      }
  ASSERT_GE(right, left);
  EXPECT_LT(bottom, kY + ref.ascent - 5);  // well above the baseline
  EXPECT_GE(right - left, 4);
  EXPECT_GE(bottom - top, 4);
  const int cx = (left + right) / 2, cy = (top + bottom) / 2;
  EXPECT_LT(Channel(c.At(cx, cy), 16), 128);  // a hole in the middle
  EXPECT_GE(Channel(c.At(left, cy), 16) + Channel(c.At(left + 1, cy), 16), 128);
  EXPECT_GE(Channel(c.At(right, cy), 16) + Channel(c.At(right - 1, cy), 16), 128);
}

TEST(Text, TransparentTextBlendsItsColourAndLeavesTheRest) {
  const std::string text = "22:35";
  const COLORREF color = RGB(10, 200, 30);
  const Canvas coverage = CoverageOf(text, 22, 3, 4, 64, 32);
  Canvas c(64, 32);
  c.Pattern();
  const Canvas before = c;
  SelectObject(&c.dc, Arial(22));
  SetBkMode(&c.dc, TRANSPARENT);
  SetTextColor(&c.dc, color);
  ASSERT_TRUE(TextOutA(&c.dc, 3, 4, text.data(), static_cast<int>(text.size())));
  int solid = 0;
  for (int y = 0; y < c.height; ++y)
    for (int x = 0; x < c.width; ++x) {
      const std::uint32_t a = Channel(coverage.At(x, y), 16);
      ASSERT_EQ(c.At(x, y), Expected(before.At(x, y), 0x0AC81E, a)) << x << "," << y;
      if (a == 255) {
        ++solid;
        EXPECT_EQ(c.At(x, y), 0x000AC81Eu);
      }
    }
  EXPECT_GT(solid, 20);
  EXPECT_TRUE(c.GuardIntact());
}

TEST(Text, OpaqueTextFillsItsCellWithTheBackgroundColour) {
  const std::string text = "9:05";
  constexpr int kX = 5, kY = 6, kHeight = 16;
  const Canvas coverage = CoverageOf(text, kHeight, kX, kY, 60, 30);
  Canvas c(60, 30);
  c.Pattern();
  const Canvas before = c;
  SelectObject(&c.dc, Arial(kHeight));
  SetBkMode(&c.dc, OPAQUE);
  c.dc.bkColor = RGB(1, 2, 3);
  SetTextColor(&c.dc, RGB(255, 255, 255));
  SIZE size;
  ASSERT_TRUE(GetTextExtentPoint32A(&c.dc, text.data(), 4, &size));
  ASSERT_TRUE(TextOutA(&c.dc, kX, kY, text.data(), 4));
  for (int y = 0; y < c.height; ++y)
    for (int x = 0; x < c.width; ++x) {
      const bool cell = x >= kX && x < kX + size.cx && y >= kY && y < kY + size.cy;
      const std::uint32_t under = cell ? 0x010203u : before.At(x, y);
      ASSERT_EQ(c.At(x, y), Expected(under, 0xFFFFFF, Channel(coverage.At(x, y), 16))) << x << "," << y;
    }
}

TEST(Text, DefaultFontIsSixteenPixelsHigh) {
  Canvas c(200, 30);
  SetBkMode(&c.dc, TRANSPARENT);
  SetTextColor(&c.dc, RGB(255, 255, 255));
  SIZE own, sixteen;
  ASSERT_TRUE(GetTextExtentPoint32A(&c.dc, "Frame rate: 0 FPS", 17, &own));
  EXPECT_EQ(own.cy, 16);
  SelectObject(&c.dc, Arial(16));
  ASSERT_TRUE(GetTextExtentPoint32A(&c.dc, "Frame rate: 0 FPS", 17, &sixteen));
  EXPECT_EQ(own.cx, sixteen.cx);
  SelectObject(&c.dc, nullptr);
  ASSERT_TRUE(TextOutA(&c.dc, 0, 0, "Frame rate: 0 FPS", 17));
  const Canvas same = CoverageOf("Frame rate: 0 FPS", 16, 0, 0, 200, 30);
  EXPECT_EQ(c.store, same.store);
}

TEST(Text, ContextSettersReturnWhatWasSet) {
  DC dc;
  HFONT f = Arial(22);
  EXPECT_EQ(SelectObject(&dc, f), nullptr);
  EXPECT_EQ(SelectObject(&dc, nullptr), f);
  EXPECT_EQ(SetBkMode(&dc, TRANSPARENT), OPAQUE);
  EXPECT_EQ(SetBkMode(&dc, 7), 0);  // not a mode: refused, nothing changes
  EXPECT_EQ(dc.bkMode, TRANSPARENT);
  EXPECT_EQ(SetTextColor(&dc, RGB(1, 2, 3)), 0u);
  EXPECT_EQ(SetTextColor(&dc, 0), RGB(1, 2, 3));
  EXPECT_EQ(SelectObject(nullptr, f), nullptr);
  EXPECT_EQ(SetBkMode(nullptr, OPAQUE), 0);
  EXPECT_EQ(SetTextColor(nullptr, 0), CLR_INVALID);
}
