#include <gtest/gtest.h>

#include <climits>
#include <thread>
#include <vector>

#include "Canvas.h"
#include "platform/gdi/Font.h"
#include "platform/gdi/Gdi.h"

using namespace gdi;
using namespace gdi_test;

TEST(Font, OneFontPerSizeWhateverTheWeightOrFace) {
  HFONT f = Arial(22);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(Arial(22), f);
  EXPECT_EQ(Arial(22, FW_NORMAL), f);  // only the bold face is built in
  EXPECT_EQ(CreateFontA(22, 0, 0, 0, FW_BOLD, 0, 0, 0, 0, 0, 0, 0, 0, "Tahoma"), f);
  EXPECT_EQ(CreateFontA(22, 0, 0, 0, FW_BOLD, 0, 0, 0, 0, 0, 0, 0, 0, nullptr), f);
  EXPECT_NE(Arial(23), f);
  EXPECT_EQ(f->CellHeight(), 22);
  EXPECT_EQ(f->PixelSize(), 20);
  EXPECT_EQ(f->Ascent(), 18);

  // Deleting a shared font only ends this use of it.
  EXPECT_TRUE(DeleteObject(f));
  DC dc;
  SelectObject(&dc, Arial(22));
  SIZE size;
  EXPECT_TRUE(GetTextExtentPoint32A(&dc, "22", 2, &size));
  EXPECT_EQ(size.cy, 22);
  EXPECT_FALSE(DeleteObject(nullptr));
}

TEST(Font, HeightsAsTheFontCallTakesThem) {
  struct Case {
    int height;
    int cell;  // 0: refused
  } cases[] = {{0, 16},
               {-20, 22},  // an em of 20 pixels is the 22-pixel cell
               {1, 1},
               {kMaxCellHeight, kMaxCellHeight},
               {kMaxCellHeight + 1, 0},
               {-kMaxCellHeight - 1, 0},
               {INT_MAX, 0},
               {INT_MIN, 0}};
  for (const auto& c : cases) {
    HFONT f = Arial(c.height);
    if (c.cell == 0) {
      EXPECT_EQ(f, nullptr) << c.height;
      continue;
    }
    ASSERT_NE(f, nullptr) << c.height;
    EXPECT_EQ(f->CellHeight(), c.cell) << c.height;
    Canvas canvas(40, 20);
    SelectObject(&canvas.dc, f);
    EXPECT_TRUE(TextOutA(&canvas.dc, 0, 0, "M", 1));
    EXPECT_TRUE(canvas.GuardIntact());
  }
  EXPECT_EQ(Arial(0), Arial(16));
}

// Fonts made on one thread while another draws with a font made earlier, as the show's set-up
// and its frame thread do.
TEST(Font, MakingFontsWhileDrawingIsSafe) {
  const Canvas reference = [] {
    Canvas c(64, 24);
    SelectObject(&c.dc, Arial(22));
    SetBkMode(&c.dc, TRANSPARENT);
    SetTextColor(&c.dc, RGB(255, 255, 255));
    TextOutA(&c.dc, 1, 1, "22:35", 5);
    return c;
  }();
  std::thread maker([] {
    for (int h = 60; h < 90; ++h) EXPECT_NE(Arial(h), nullptr);
  });
  std::thread other([] {
    for (int h = 89; h >= 60; --h) EXPECT_NE(Arial(h), nullptr);
  });
  for (int i = 0; i < 200; ++i) {
    Canvas c(64, 24);
    HFONT f = Arial(22);
    SelectObject(&c.dc, f);
    SetBkMode(&c.dc, TRANSPARENT);
    SetTextColor(&c.dc, RGB(255, 255, 255));
    ASSERT_TRUE(TextOutA(&c.dc, 1, 1, "22:35", 5));
    DeleteObject(f);
    ASSERT_EQ(c.store, reference.store);
  }
  maker.join();
  other.join();
}
