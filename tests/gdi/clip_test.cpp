#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "Canvas.h"
#include "platform/ddraw/DDraw.h"
#include "platform/gdi/Gdi.h"

using namespace gdi;
using namespace gdi_test;

namespace {

void Prepare(Canvas& c, int mode, int height = 22) {
  SelectObject(&c.dc, Arial(height));
  SetBkMode(&c.dc, mode);
  c.dc.bkColor = RGB(0, 0, 255);
  SetTextColor(&c.dc, RGB(250, 240, 10));
}

}  // namespace

TEST(Clip, ClippedTextChangesOnlyPixelsInsideTheRectangle) {
  const ddraw::RECT rects[] = {{10, 5, 30, 20}, {0, 0, 64, 32},    {-10, -10, 5, 5},      {20, 10, 20, 30},
                               {40, 20, 10, 5}, {-100, -100, 999, 999}, {50, 25, 80, 40}, {INT_MIN, 0, INT_MAX, 9}};
  const std::string text = "22:35\xB0";
  for (int mode : {TRANSPARENT, OPAQUE})
    for (const auto& r : rects) {
      Canvas whole(64, 32), clipped(64, 32);
      whole.Pattern();
      clipped.Pattern();
      const Canvas before = clipped;
      Prepare(whole, mode);
      Prepare(clipped, mode);
      ASSERT_TRUE(TextOutA(&whole.dc, 2, 3, text.data(), static_cast<int>(text.size())));
      ASSERT_TRUE(ExtTextOutA(&clipped.dc, 2, 3, ETO_CLIPPED, &r, text.data(),
                              static_cast<std::uint32_t>(text.size()), nullptr));
      for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x) {
          const bool inside = x >= r.left && x < r.right && y >= r.top && y < r.bottom;
          ASSERT_EQ(clipped.At(x, y), inside ? whole.At(x, y) : before.At(x, y))
              << "mode " << mode << " rect " << r.left << "," << r.top << "," << r.right << "," << r.bottom
              << " pixel " << x << "," << y;
        }
      EXPECT_TRUE(clipped.GuardIntact());
    }
}

TEST(Clip, RectangleCountsOnlyWithTheClippedOption) {
  Canvas plain(64, 32), ext(64, 32);
  Prepare(plain, TRANSPARENT);
  Prepare(ext, TRANSPARENT);
  const ddraw::RECT r{0, 0, 5, 5};
  ASSERT_TRUE(TextOutA(&plain.dc, 1, 1, "47", 2));
  ASSERT_TRUE(ExtTextOutA(&ext.dc, 1, 1, 0, &r, "47", 2, nullptr));
  EXPECT_EQ(plain.store, ext.store);
  ASSERT_TRUE(ExtTextOutA(&ext.dc, 1, 1, ETO_CLIPPED, nullptr, "47", 2, nullptr));  // no rectangle: no clip
  ASSERT_TRUE(TextOutA(&plain.dc, 1, 1, "47", 2));
  EXPECT_EQ(plain.store, ext.store);
}

// Text that runs over an edge shows exactly the part that a larger surface shows there.
TEST(Clip, TextOverTheEdgesIsCutCleanly) {
  struct Case {
    int dx, dy;
  } cases[] = {{-5, -5}, {-30, 2}, {25, 10}, {30, -15}, {38, 18}, {-3, 12}};
  constexpr int kW = 40, kH = 20, kOff = 100;
  const std::string text = "Wg\xC1\xB0" "5";
  for (int mode : {TRANSPARENT, OPAQUE})
    for (const auto& c : cases) {
      Canvas small(kW, kH), big(kW + 2 * kOff, kH + 2 * kOff);
      small.Pattern();
      Prepare(small, mode);
      Prepare(big, mode);
      for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) big.At(x + kOff, y + kOff) = small.At(x, y);
      ASSERT_TRUE(TextOutA(&small.dc, c.dx, c.dy, text.data(), static_cast<int>(text.size())));
      ASSERT_TRUE(TextOutA(&big.dc, c.dx + kOff, c.dy + kOff, text.data(), static_cast<int>(text.size())));
      for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
          ASSERT_EQ(small.At(x, y), big.At(x + kOff, y + kOff)) << c.dx << "," << c.dy << " at " << x << "," << y;
      EXPECT_TRUE(small.GuardIntact());
    }
}

TEST(Clip, FarAwayAndEndlessTextsNeverWriteOutsideTheSurface) {
  struct Case {
    int x, y;
  } cases[] = {{INT_MIN, INT_MIN}, {INT_MAX, INT_MAX}, {INT_MAX - 5, 0}, {0, INT_MIN}, {INT_MIN + 3, 5},
               {0, INT_MAX - 10},  {-20, -10},        {-1000, 3},       {63, 31},    {0, 0}};
  std::string endless(1 << 20, 'W');
  for (int i = 0; i < 256; ++i) endless[i * 7] = static_cast<char>(i);
  const ddraw::RECT all{INT_MIN, INT_MIN, INT_MAX, INT_MAX};
  for (int mode : {TRANSPARENT, OPAQUE})
    for (const auto& c : cases) {
      Canvas canvas(64, 32);
      Prepare(canvas, mode, 40);
      EXPECT_TRUE(TextOutA(&canvas.dc, c.x, c.y, endless.data(), static_cast<int>(endless.size())));
      EXPECT_TRUE(ExtTextOutA(&canvas.dc, c.x, c.y, ETO_CLIPPED, &all, endless.data(),
                              static_cast<std::uint32_t>(endless.size()), nullptr));
      SIZE size;
      EXPECT_TRUE(GetTextExtentPoint32A(&canvas.dc, endless.data(), static_cast<int>(endless.size()), &size));
      EXPECT_GT(size.cx, 0);
      EXPECT_TRUE(canvas.GuardIntact()) << c.x << "," << c.y;
    }
}

TEST(Clip, BadArgumentsFailWithoutDrawing) {
  Canvas c(32, 16);
  c.Pattern();
  const Canvas before = c;
  Prepare(c, OPAQUE);
  EXPECT_TRUE(TextOutA(&c.dc, 0, 0, nullptr, 0));  // nothing to draw is no failure
  EXPECT_TRUE(ExtTextOutA(&c.dc, 0, 0, 0, nullptr, nullptr, 0, nullptr));
  EXPECT_FALSE(TextOutA(&c.dc, 0, 0, nullptr, 3));
  EXPECT_FALSE(TextOutA(&c.dc, 0, 0, "abc", -1));
  EXPECT_FALSE(TextOutA(nullptr, 0, 0, "abc", 3));
  EXPECT_FALSE(ExtTextOutA(&c.dc, 0, 0, ETO_CLIPPED, nullptr, nullptr, 4, nullptr));
  EXPECT_FALSE(ExtTextOutA(nullptr, 0, 0, 0, nullptr, "abc", 3, nullptr));
  EXPECT_EQ(c.store, before.store);

  SIZE size{-1, -1};
  EXPECT_FALSE(GetTextExtentPoint32A(&c.dc, "abc", 3, nullptr));
  EXPECT_FALSE(GetTextExtentPoint32A(&c.dc, nullptr, 2, &size));
  EXPECT_FALSE(GetTextExtentPoint32A(&c.dc, "abc", -2, &size));
  EXPECT_FALSE(GetTextExtentPoint32A(nullptr, "abc", 3, &size));
  ASSERT_TRUE(GetTextExtentPoint32A(&c.dc, nullptr, 0, &size));
  EXPECT_EQ(size.cx, 0);
  EXPECT_EQ(size.cy, 22);
}

TEST(Clip, ContextsWithoutUsableMemoryDrawNothing) {
  std::vector<std::uint32_t> store(64, kGuard);
  const Bits cases[] = {{nullptr, 8, 8, 8}, {store.data(), 0, 4, 8}, {store.data(), 8, -1, 8},
                        {store.data(), 8, 4, 6}, {store.data(), -8, 4, 8}};
  for (const Bits& b : cases) {
    DC dc;
    dc.bits = b;
    SetTextColor(&dc, RGB(255, 255, 255));
    EXPECT_TRUE(TextOutA(&dc, 0, 0, "88", 2));
    EXPECT_EQ(SetPixel(&dc, 1, 1, RGB(1, 1, 1)), CLR_INVALID);
    EXPECT_EQ(GetPixel(&dc, 1, 1), CLR_INVALID);
  }
  EXPECT_EQ(store, std::vector<std::uint32_t>(64, kGuard));
}

TEST(Pixel, SetAndGetInsideOnlyInColourOrder) {
  struct Case {
    int x, y;
    bool inside;
  } cases[] = {{0, 0, true},     {15, 7, true},   {16, 0, false},        {0, 8, false},         {-1, 0, false},
               {0, -1, false},   {INT_MIN, 0, false}, {0, INT_MAX, false}, {INT_MAX, INT_MIN, false}, {3, 5, true}};
  for (const auto& c : cases) {
    Canvas canvas(16, 8, 0x00123456);
    const COLORREF color = RGB(0x11, 0x22, 0x33);
    if (c.inside) {
      EXPECT_EQ(GetPixel(&canvas.dc, c.x, c.y), RGB(0x12, 0x34, 0x56));
      EXPECT_EQ(SetPixel(&canvas.dc, c.x, c.y, color), color);
      EXPECT_EQ(canvas.At(c.x, c.y), 0x00112233u);
      EXPECT_EQ(GetPixel(&canvas.dc, c.x, c.y), color);
    } else {
      const Canvas before = canvas;
      EXPECT_EQ(GetPixel(&canvas.dc, c.x, c.y), CLR_INVALID);
      EXPECT_EQ(SetPixel(&canvas.dc, c.x, c.y, color), CLR_INVALID);
      EXPECT_EQ(canvas.store, before.store) << c.x << "," << c.y;
    }
    EXPECT_TRUE(canvas.GuardIntact());
  }
  EXPECT_EQ(GetPixel(nullptr, 0, 0), CLR_INVALID);
  EXPECT_EQ(SetPixel(nullptr, 0, 0, 0), CLR_INVALID);
}
