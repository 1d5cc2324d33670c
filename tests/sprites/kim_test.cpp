// The still-image sprite on the in-memory display: the pixels its blits leave on the back surface.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SpriteDisplay.h"
#include "sprites/Cut.h"
#include "sprites/KIM.h"

namespace sprites_test {
namespace {

using sprites::TKIM;

// Sets a sprite up as the scene does: Stretching, position, size, CreateDXImage.
TKIM* Sprite(SpriteDisplay& d, std::int32_t w, std::int32_t h, std::int32_t x, std::int32_t y, bool stretching = false) {
  TKIM* s = d.Make<TKIM>();
  vcl::TBitmap picture = PatternBitmap(w, h);
  s->Picture()->SetGraphic(&picture);
  s->SetStretching(stretching);
  s->SetShowX(x);
  s->SetShowY(y);
  s->SetOriginalWidth(w);
  s->SetOriginalHeight(h);
  s->CreateDXImage();
  EXPECT_EQ(s->ErrorResult(), "");
  return s;
}

// The back surface after the frame's clearing and one DrawImage, and the one expected when source
// columns/rows [sx, sx + cols) × [sy, sy + rows) land at (dx, dy).
struct Expect {
  std::int32_t dx, dy, sx, sy, cols, rows;
};
void Paint(Snapshot& s, const Expect& e) {
  for (std::int32_t y = 0; y < e.rows; ++y)
    for (std::int32_t x = 0; x < e.cols; ++x) s.At(e.dx + x, e.dy + y) = Pat(e.sx + x, e.sy + y);
}

struct CutCase {
  const char* name;
  std::int32_t w, h, x, y;
  bool drawn;
  Expect e;
};

void PrintTo(const CutCase& c, std::ostream* os) { *os << c.name; }

class KimCut : public ::testing::TestWithParam<CutCase> {};

TEST_P(KimCut, DrawsWhatTheRulesLeaveAndNeverTheLastColumnOrRow) {
  const CutCase& c = GetParam();
  SpriteDisplay d;
  TKIM* s = Sprite(d, c.w, c.h, c.x, c.y);
  d.Clear();
  const int blits = mem::Control().Calls(mem::Op::BltFast);
  s->DrawImage();
  EXPECT_EQ(s->ErrorResult(), "");
  EXPECT_EQ(mem::Control().Calls(mem::Op::BltFast) - blits, c.drawn ? 1 : 0);
  Snapshot expected = d.Cleared();
  if (c.drawn) Paint(expected, c.e);
  Snapshot got = d.Back();
  ASSERT_EQ(got.pixels.size(), expected.pixels.size());
  EXPECT_TRUE(got.pixels == expected.pixels);
  for (std::int32_t y = 0; y < got.height; ++y) EXPECT_EQ(got.At(1023, y), kClear) << y;
  for (std::int32_t x = 0; x < got.width; ++x) EXPECT_EQ(got.At(x, 767), kClear) << x;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, KimCut,
    ::testing::Values(
        CutCase{"FullScreen", 1024, 768, 0, 0, true, {0, 0, 0, 0, 1023, 767}},
        CutCase{"Inside", 100, 50, 10, 20, true, {10, 20, 0, 0, 100, 50}},
        CutCase{"AtOrigin", 100, 50, 0, 0, true, {0, 0, 0, 0, 100, 50}},
        CutCase{"FirstColumnOnlyAt1022", 100, 50, 1022, 5, true, {1022, 5, 0, 0, 1, 50}},
        CutCase{"NothingAt1023", 100, 50, 1023, 5, false, {}},
        CutCase{"EndsOnLastColumn", 100, 50, 924, 5, true, {924, 5, 0, 0, 99, 50}},
        CutCase{"EndsBeforeLastColumn", 100, 50, 923, 5, true, {923, 5, 0, 0, 100, 50}},
        CutCase{"LeftCutAtMinus30", 100, 50, -30, 5, true, {0, 5, 30, 0, 70, 50}},
        CutCase{"LastTwoColumnsAtMinus98", 100, 50, -98, 5, true, {0, 5, 98, 0, 2, 50}},
        CutCase{"NothingAtMinus99", 100, 50, -99, 5, false, {}},
        CutCase{"FirstRowOnlyAt766", 50, 100, 5, 766, true, {5, 766, 0, 0, 50, 1}},
        CutCase{"NothingAtRow767", 50, 100, 5, 767, false, {}},
        CutCase{"TopCutAtMinus30", 50, 100, 5, -30, true, {5, 0, 0, 30, 50, 70}},
        CutCase{"LastTwoRowsAtMinus98", 50, 100, 5, -98, true, {5, 0, 0, 98, 50, 2}},
        CutCase{"NothingAtRowMinus99", 50, 100, 5, -99, false, {}},
        CutCase{"CornerOverhang", 100, 100, -60, 700, true, {0, 700, 60, 0, 40, 67}},
        // Wider than the screen and hanging over both edges: cut on both sides.
        CutCase{"OverhangsBothEdges", 1100, 30, -40, 3, true, {0, 3, 40, 0, 1023, 30}},
        CutCase{"OverhangsTopAndBottom", 30, 800, 3, -16, true, {3, 0, 0, 16, 30, 767}},
        CutCase{"FarOffScreenNoWrap", 100, 50, 2147483600, 5, false, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(KimCutSpan, RulesInOrder) {
  struct Row {
    std::int32_t pos, len, limit;
    sprites::Span want;
  } rows[] = {
      {1, 10, 20, {true, 0, 10, 1}},     // rule 1
      {19, 10, 20, {}},                  // rule 2: x > W − 2
      {18, 10, 20, {true, 0, 1, 18}},    // rule 3: far side cut
      {-9, 10, 20, {}},                  // rule 4: x + w < 2
      {-8, 10, 20, {true, 8, 10, 0}},    // rule 5: near side cut
      {-5, 30, 20, {true, 5, 24, 0}},    // both sides
      {0, 0, 20, {}},                    // nothing to show
      {2147483647, 2147483647, 1024, {}},
      {-2147483647 - 1, 2147483647, 1024, {}},
  };
  for (const Row& r : rows) {
    const sprites::Span got = sprites::CutSpan(r.pos, r.len, r.limit);
    EXPECT_EQ(got.Draw, r.want.Draw) << r.pos << "," << r.len;
    if (got.Draw && r.want.Draw) {
      EXPECT_EQ(got.First, r.want.First) << r.pos;
      EXPECT_EQ(got.End, r.want.End) << r.pos;
      EXPECT_EQ(got.Dest, r.want.Dest) << r.pos;
    }
  }
}

// --- scaling --------------------------------------------------------------------------------------

TEST(KimScaling, At800x600WithAndWithoutStretching) {
  SpriteDisplay d(800, 600);
  TKIM* on = d.Make<TKIM>();
  on->SetStretching(true);
  on->SetShowX(512);
  on->SetShowY(384);
  on->SetOriginalWidth(1024);
  on->SetOriginalHeight(768);
  EXPECT_EQ(on->GetShowX(), 400);
  EXPECT_EQ(on->GetShowY(), 300);
  EXPECT_EQ(on->StretchWidth(), 800);
  EXPECT_EQ(on->StretchHeight(), 600);

  TKIM* off = d.Make<TKIM>();
  off->SetShowX(512);
  off->SetShowY(384);
  off->SetOriginalWidth(1024);
  off->SetOriginalHeight(768);
  EXPECT_EQ(off->GetShowX(), 512);
  EXPECT_EQ(off->GetShowY(), 384);
  EXPECT_EQ(off->StretchWidth(), 800);
  EXPECT_EQ(off->StretchHeight(), 600);
  EXPECT_EQ(off->OriginalWidth(), 1024);

  // Stretching is read when a setter runs: a position set before it was switched on stays as given.
  TKIM* late = d.Make<TKIM>();
  late->SetShowX(512);
  late->SetStretching(true);
  late->SetShowY(384);
  EXPECT_EQ(late->GetShowX(), 512);
  EXPECT_EQ(late->GetShowY(), 300);
}

TEST(KimScaling, TruncatesTowardZeroIn32Bits) {
  SpriteDisplay d(800, 600);
  TKIM* s = d.Make<TKIM>();
  s->SetStretching(true);
  struct Row {
    std::int32_t value, want;
  } rows[] = {{-1, 0}, {1023, 799}, {-1023, -799}, {1, 0}, {3000001, -1850553}};
  for (const Row& r : rows) {
    s->SetShowX(r.value);
    EXPECT_EQ(s->GetShowX(), r.want) << r.value;
  }
  s->SetShowY(767);
  EXPECT_EQ(s->GetShowY(), 599);
}

TEST(KimScaling, StretchedPictureFillsItsScaledRectangle) {
  SpriteDisplay d(800, 600);
  TKIM* s = Sprite(d, 1024, 768, 0, 0, true);
  ASSERT_NE(s->Surface(), nullptr);
  const Snapshot surface = Read(s->Surface());
  ASSERT_EQ(surface.width, 800);
  ASSERT_EQ(surface.height, 600);
  d.Clear();
  s->DrawImage();
  const Snapshot got = d.Back();
  // Nearest pixel: destination x shows source (2x + 1) · 1024 / 1600.
  EXPECT_EQ(got.At(0, 0), Pat(0, 0));
  EXPECT_EQ(got.At(400, 300), Pat(512, 384));
  EXPECT_EQ(got.At(798, 598), Pat(1022, 766));
  EXPECT_EQ(got.At(799, 300), kClear);
}

// --- transparency -----------------------------------------------------------------------------------

TEST(KimTransparency, BlackIsTransparentAndNearlyBlackIsDrawn) {
  SpriteDisplay d;
  TKIM* s = d.Make<TKIM>();
  std::vector<std::uint32_t> px = {0x000000, 0x000001, 0x010000, 0xFFFFFF};
  vcl::TBitmap picture;
  picture.SetPixels(4, 1, px);
  s->Picture()->SetGraphic(&picture);
  s->SetShowX(10);
  s->SetShowY(10);
  s->CreateDXImage();
  s->SetTransparency(true);
  EXPECT_TRUE(s->Transparency());
  EXPECT_EQ(s->BltFlags(), DDBLTFAST_SRCCOLORKEY);
  d.Clear();
  s->DrawImage();
  Snapshot got = d.Back();
  EXPECT_EQ(got.At(10, 10), kClear);
  EXPECT_EQ(got.At(11, 10), 0x000001u);
  EXPECT_EQ(got.At(12, 10), 0x010000u);
  EXPECT_EQ(got.At(13, 10), 0xFFFFFFu);

  s->SetTransparency(false);  // the key stays on the surface but is not used
  EXPECT_EQ(s->BltFlags(), DDBLTFAST_NOCOLORKEY);
  d.Clear();
  s->DrawImage();
  EXPECT_EQ(d.Back().At(10, 10), 0x000000u);
}

TEST(KimTransparency, BeforeTheSurfaceExistsReportsAndKeepsTheValue) {
  SpriteDisplay d;
  TKIM* s = d.Make<TKIM>();
  s->SetTransparency(true);
  EXPECT_EQ(s->ErrorResult(), "eFpSurface==NULL");
  EXPECT_FALSE(s->Transparency());
}

TEST(KimTransparency, RefusedKeyDropsTheSurfaceForEveryLaterFrame) {
  SpriteDisplay d;
  TKIM* s = Sprite(d, 100, 50, 10, 10);
  ASSERT_EQ(d.NewSurfaces(), 1);
  mem::Control().Fail(mem::Op::SetColorKey, {DDERR_GENERIC, 1, 0, mem::kOffscreen});
  s->SetTransparency(true);
  EXPECT_EQ(s->ErrorResult(), "eSetColorKey (KIM)");
  EXPECT_TRUE(s->Transparency());
  EXPECT_EQ(s->Surface(), nullptr);
  EXPECT_EQ(d.NewSurfaces(), 0);
  for (int frame = 0; frame < 3; ++frame) {
    s->SetErrorResult("");
    d.Clear();
    s->DrawImage();
    EXPECT_EQ(s->ErrorResult(), "eFpSurface==NULL");
    EXPECT_TRUE(d.Back().pixels == d.Cleared().pixels);
  }
}

// --- losing the display ---------------------------------------------------------------------------

TEST(KimLost, LostPrimaryDrawsNothingUntilRestoredWithTheSamePictureAndKey) {
  SpriteDisplay d;
  TKIM* s = d.Make<TKIM>();
  vcl::TBitmap picture = PatternBitmap(64, 32);
  for (std::int32_t x = 0; x < 64; ++x) picture.ScanLine(5)[x] = 0;  // one transparent row
  s->Picture()->SetGraphic(&picture);
  s->SetShowX(100);
  s->SetShowY(200);
  s->CreateDXImage();
  s->SetTransparency(true);
  d.Clear();
  s->DrawImage();
  const Snapshot before = d.Back();
  EXPECT_EQ(before.At(100, 205), kClear);
  EXPECT_EQ(before.At(100, 204), Pat(0, 4));

  mem::Control().LoseDisplay();
  const int blits = mem::Control().Calls(mem::Op::BltFast);
  for (int frame = 0; frame < 3; ++frame) {
    s->SetErrorResult("");
    s->DrawImage();
    EXPECT_EQ(s->ErrorResult(), "Lost surface");
  }
  EXPECT_EQ(mem::Control().Calls(mem::Op::BltFast), blits);

  d.RestorePrimary();
  s->SetErrorResult("");
  s->RestoreSurface();
  EXPECT_EQ(s->ErrorResult(), "");
  d.Clear();
  s->DrawImage();
  EXPECT_EQ(s->ErrorResult(), "");
  EXPECT_TRUE(d.Back().pixels == before.pixels);
}

TEST(KimLost, RefusedRestoreKeepsTheSurfaceAndADeviceContextFailureDropsIt) {
  SpriteDisplay d;
  TKIM* s = Sprite(d, 20, 20, 0, 0);
  mem::Control().LoseDisplay();
  mem::Control().Fail(mem::Op::Restore, {DDERR_GENERIC, 1, 0, mem::kOffscreen});
  s->RestoreSurface();
  EXPECT_EQ(s->ErrorResult(), "Can't restore surface TKIM");
  EXPECT_NE(s->Surface(), nullptr);

  mem::Control().Fail(mem::Op::GetDC, {DDERR_GENERIC, 1, 0, mem::kOffscreen});
  s->RestoreSurface();
  EXPECT_EQ(s->ErrorResult(), "eFpSurface->GetDC (BMP)");
  EXPECT_EQ(s->Surface(), nullptr);
  EXPECT_EQ(d.NewSurfaces(), 0);
}

// --- blit results -----------------------------------------------------------------------------------

TEST(KimBlit, ErrorCodesAreNamedAfterTheHash) {
  struct Row {
    HRESULT code;
    const char* text;
  } rows[] = {
      {DDERR_UNSUPPORTED, "Error FDDBACK->BltFast (BMP) err #DDERR_UNSUPPORTED"},
      {DDERR_GENERIC, "Error FDDBACK->BltFast (BMP) err #DDERR_GENERIC"},
      {DDERR_INVALIDPARAMS, "Error FDDBACK->BltFast (BMP) err #DERR_INVALIDPARAMS"},
      {DDERR_EXCEPTION, "Error FDDBACK->BltFast (BMP) err #DDERR_EXCEPTION"},
      {DDERR_INVALIDOBJECT, "Error FDDBACK->BltFast (BMP) err #DDERR_INVALIDOBJECT"},
      {DDERR_INVALIDRECT, "Error FDDBACK->BltFast (BMP) err #DDERR_INVALIDRECT"},
      {DDERR_SURFACEBUSY, "Error FDDBACK->BltFast (BMP) err #DDERR_SURFACEBUSY"},
      {DDERR_NOBLTHW, "Error FDDBACK->BltFast (BMP) err #DDERR_NOBLTHW"},
      {DDERR_SURFACELOST, "Lost surface"},
      {E_FAIL, "Error FDDBACK->BltFast (BMP) err #"},
      {DDERR_OUTOFMEMORY, "Error FDDBACK->BltFast (BMP) err #"},
  };
  SpriteDisplay d;
  TKIM* s = Sprite(d, 10, 10, 5, 5);
  TKIM* sender = nullptr;
  int raised = 0;
  s->OnError = [&](vcl::TObject* who) {
    sender = dynamic_cast<TKIM*>(who);
    ++raised;
  };
  for (const Row& r : rows) {
    mem::Control().Fail(mem::Op::BltFast, {r.code, 1, 0, mem::kBack});
    d.Clear();
    s->DrawImage();
    EXPECT_EQ(s->ErrorResult(), r.text);
    EXPECT_EQ(s->LastResult(), r.code);
    EXPECT_EQ(d.Back().At(5, 5), kClear);
  }
  EXPECT_EQ(sender, s);
  EXPECT_EQ(raised, static_cast<int>(std::size(rows)));
}

TEST(KimBlit, StillDrawingIsAskedAgainAtOnce) {
  SpriteDisplay d;
  TKIM* s = Sprite(d, 10, 10, 5, 5);
  mem::Control().Fail(mem::Op::BltFast, {DDERR_WASSTILLDRAWING, 3, 0, mem::kBack});
  d.Clear();
  const int blits = mem::Control().Calls(mem::Op::BltFast);
  s->DrawImage();
  EXPECT_EQ(s->ErrorResult(), "");
  EXPECT_EQ(mem::Control().Calls(mem::Op::BltFast) - blits, 4);
  EXPECT_EQ(d.Back().At(5, 5), Pat(0, 0));
}

// --- set-up failures ----------------------------------------------------------------------------------

TEST(KimSetup, MissingEngineObjectsAreReportedInOrder) {
  SpriteDisplay d;
  struct Row {
    bool dd, back, prim;
    const char* text;
  } rows[] = {{false, true, true, "FDD==NULL"}, {true, false, true, "FDDBACK==NULL"}, {true, true, false, "FDDPRIM==NULL"}};
  for (const Row& r : rows) {
    d.engine->FDD = r.dd ? d.dd : nullptr;
    d.engine->FDDBACK = r.back ? d.back : nullptr;
    d.engine->FDDPRIM = r.prim ? d.prim : nullptr;
    TKIM* s = d.Make<TKIM>();
    vcl::TBitmap picture = PatternBitmap(8, 8);
    s->Picture()->SetGraphic(&picture);
    s->CreateDXImage();
    EXPECT_EQ(s->ErrorResult(), r.text);
    EXPECT_EQ(s->Surface(), nullptr);
  }
  EXPECT_EQ(d.NewSurfaces(), 0);
  d.engine->FDD = d.dd;
  d.engine->FDDBACK = d.back;
  d.engine->FDDPRIM = d.prim;
}

TEST(KimSetup, RefusedSurfaceOrDeviceContextLeavesNoSurface) {
  SpriteDisplay d;
  struct Row {
    mem::Op op;
    const char* text;
  } rows[] = {{mem::Op::CreateOffscreen, "eCreateSurfaceKIM"}, {mem::Op::GetDC, "eFpSurface->GetDC (KIM)"}};
  for (const Row& r : rows) {
    TKIM* s = d.Make<TKIM>();
    vcl::TBitmap picture = PatternBitmap(8, 8);
    s->Picture()->SetGraphic(&picture);
    mem::Control().Fail(r.op, {DDERR_GENERIC, 1, 0, mem::kOffscreen});
    s->CreateDXImage();
    EXPECT_EQ(s->ErrorResult(), r.text);
    EXPECT_EQ(s->Surface(), nullptr);
    EXPECT_EQ(d.NewSurfaces(), 0);
    s->SetErrorResult("");
    s->DrawImage();
    EXPECT_EQ(s->ErrorResult(), "eFpSurface==NULL");
  }
}

TEST(KimSetup, EmptyOrHugeSizesAreRefusedBeforeTheDisplayIsAsked) {
  SpriteDisplay d;
  TKIM* s = d.Make<TKIM>();  // no picture at all
  s->CreateDXImage();
  EXPECT_EQ(s->ErrorResult(), "eCreateSurfaceKIM");
  TKIM* huge = d.Make<TKIM>();
  huge->SetStretching(true);
  huge->SetStretchWidth(2000000);
  huge->SetStretchHeight(2000000);
  const int creates = mem::Control().Calls(mem::Op::CreateOffscreen);
  huge->CreateDXImage();
  EXPECT_EQ(huge->ErrorResult(), "eCreateSurfaceKIM");
  EXPECT_EQ(mem::Control().Calls(mem::Op::CreateOffscreen), creates);
}

TEST(KimSetup, WithoutAParentEngineNothingCrashes) {
  SpriteDisplay d;
  auto* s = new TKIM(&d.owner);  // never parented to the engine
  vcl::TBitmap picture = PatternBitmap(8, 8);
  s->Picture()->SetGraphic(&picture);
  s->SetOriginalWidth(8);
  EXPECT_EQ(s->ErrorResult(), "FDD==NULL");
  EXPECT_EQ(s->StretchWidth(), 8);
  s->SetErrorResult("");
  s->CreateDXImage();
  EXPECT_EQ(s->ErrorResult(), "FDD==NULL");
  s->SetErrorResult("");
  s->DrawImage();
  EXPECT_EQ(s->ErrorResult(), "FDD==NULL");
  s->RestoreSurface();
  s->CloseDXImage();
}

TEST(KimSetup, CreatingAgainAndClosingReleaseTheSurface) {
  SpriteDisplay d;
  TKIM* s = Sprite(d, 8, 8, 0, 0);
  s->CreateDXImage();
  EXPECT_EQ(d.NewSurfaces(), 1);
  s->CloseDXImage();
  EXPECT_EQ(s->Surface(), nullptr);
  EXPECT_EQ(d.NewSurfaces(), 0);
  s->DrawImage();  // closed is the same as built
  EXPECT_EQ(s->ErrorResult(), "eFpSurface==NULL");
  s->SetErrorResult("");
  s->RestoreSurface();
  EXPECT_EQ(s->ErrorResult(), "");
}

TEST(KimSetup, ClassNames) {
  SpriteDisplay d;
  TKIM* s = d.Make<TKIM>();
  EXPECT_STREQ(s->ClassName(), "TKIM");
  EXPECT_NE(dynamic_cast<vcl::TImage*>(s), nullptr);
  EXPECT_EQ(s->StretchWidth(), 100);
  EXPECT_EQ(s->OriginalHeight(), 100);
  EXPECT_FALSE(s->Transparency());
  EXPECT_FALSE(s->Stretching());
  EXPECT_EQ(s->ErrorResult(), "");
  EXPECT_EQ(s->Engine(), d.engine);
}

}  // namespace
}  // namespace sprites_test
