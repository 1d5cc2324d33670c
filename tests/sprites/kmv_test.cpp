// The film-strip sprite on the in-memory display: frames cut from strips, their keys, restores.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SpriteDisplay.h"
#include "pictures/Encoders.h"
#include "sprites/KMV.h"

namespace sprites_test {
namespace {

using sprites::TKMV;

// A distinct, never-black value for every pixel of strips up to 64 wide.
constexpr std::uint32_t StripPat(std::int32_t x, std::int32_t y) {
  return 0x010000u + static_cast<std::uint32_t>(y) * 64u + static_cast<std::uint32_t>(x);
}

vcl::TBitmap StripBitmap(std::int32_t width, std::int32_t height) {
  std::vector<std::uint32_t> px(static_cast<std::size_t>(width) * height);
  for (std::int32_t y = 0; y < height; ++y)
    for (std::int32_t x = 0; x < width; ++x) px[static_cast<std::size_t>(y) * width + x] = StripPat(x, y);
  vcl::TBitmap b;
  b.SetPixels(width, height, std::move(px));
  return b;
}

// Set up as the scene's InitMovie does it, for a bitmap strip.
TKMV* Movie(SpriteDisplay& d, const vcl::TGraphic& strip, std::int32_t frameHeight, std::int32_t x = 0,
            std::int32_t y = 0, bool stretching = false) {
  TKMV* m = d.Make<TKMV>();
  m->Picture()->SetGraphic(&strip);
  m->SetStretching(stretching);
  m->SetShowX(x);
  m->SetShowY(y);
  m->SetYOffsetFrame(frameHeight);
  if (auto* jpeg = dynamic_cast<const vcl::TJPEGImage*>(m->Picture()->Graphic())) {
    vcl::TJPEGImage decoded;
    decoded.Assign(*jpeg);
    decoded.DIBNeeded();
    m->SetFDibBitmap(&decoded.Bitmap());
  }
  m->CreateDXMovie();
  return m;
}

// Draws frame `n` on a cleared back surface and returns the surface.
Snapshot DrawFrame(SpriteDisplay& d, TKMV* m, std::int32_t n) {
  d.Clear();
  m->SetNumberFrame(n);
  m->DrawMovie();
  return d.Back();
}

// True when the back surface shows rows [row0, row0 + h) of `strip` (w wide) at (x, y) and is
// cleared everywhere else.
::testing::AssertionResult Shows(SpriteDisplay& d, const Snapshot& got, const vcl::TGraphic& strip,
                                 std::int32_t row0, std::int32_t w, std::int32_t h, std::int32_t x, std::int32_t y) {
  Snapshot want = d.Cleared();
  const vcl::TPixels p = strip.Pixels();
  for (std::int32_t r = 0; r < h; ++r)
    for (std::int32_t c = 0; c < w; ++c) want.At(x + c, y + r) = p.Data[static_cast<std::size_t>(row0 + r) * p.Pitch + c];
  if (got.pixels == want.pixels) return ::testing::AssertionSuccess();
  for (std::size_t i = 0; i < got.pixels.size(); ++i)
    if (got.pixels[i] != want.pixels[i])
      return ::testing::AssertionFailure() << "first difference at (" << i % got.width << ", " << i / got.width
                                           << "): " << std::hex << got.pixels[i] << " instead of " << want.pixels[i];
  return ::testing::AssertionFailure() << "sizes differ";
}

TEST(KmvStrip, FramesAreTheStripsBandsAndLeftoverRowsAreNeverShown) {
  const vcl::TBitmap strip = StripBitmap(52, 2548);
  struct Row {
    std::int32_t frameHeight, count;
  } rows[] = {{52, 49}, {50, 50}};
  for (const Row& r : rows) {
    SpriteDisplay d;
    TKMV* m = Movie(d, strip, r.frameHeight, 100, 200);
    EXPECT_EQ(m->ErrorResult(), "");
    ASSERT_EQ(m->CountFrame(), r.count);
    EXPECT_EQ(d.NewSurfaces(), r.count);
    for (std::int32_t n : {0, 1, r.count / 2, r.count - 1}) {
      const Snapshot got = DrawFrame(d, m, n);
      EXPECT_EQ(m->ErrorResult(), "");
      EXPECT_TRUE(Shows(d, got, strip, n * r.frameHeight, 52, r.frameHeight, 100, 200)) << "frame " << n;
    }
    EXPECT_EQ(m->Surface(r.count), nullptr);
  }
}

TEST(KmvStrip, EightBitBitmapStripNeedsNoDecodedBitmap) {
  std::vector<std::uint32_t> palette;
  for (std::uint32_t i = 0; i < 256; ++i) palette.push_back(0x010101u * i);
  const pictures_test::Bytes bmp = pictures_test::EncodeBmp(
      52, 2548, 8, [](int x, int y) { return static_cast<std::uint32_t>((x + y) & 0xFF); }, palette);
  SpriteDisplay d;
  TKMV* m = d.Make<TKMV>();
  m->Picture()->LoadFromData(bmp, "KMV3Weather");
  m->SetYOffsetFrame(52);
  m->CreateDXMovie();
  EXPECT_EQ(m->ErrorResult(), "");
  ASSERT_EQ(m->CountFrame(), 49);
  const Snapshot got = DrawFrame(d, m, 48);
  EXPECT_TRUE(Shows(d, got, *m->Picture()->Graphic(), 48 * 52, 52, 52, 0, 0));
}

TEST(KmvStrip, AtMost200Frames) {
  struct Row {
    std::int32_t height;
    std::int32_t count;
    const char* error;
  } rows[] = {{800, 200, ""}, {803, 200, ""}, {804, 0, "TOO match sprites"}};
  for (const Row& r : rows) {
    SpriteDisplay d;
    const vcl::TBitmap strip = StripBitmap(4, r.height);
    TKMV* m = Movie(d, strip, 4);
    EXPECT_EQ(m->ErrorResult(), r.error) << r.height;
    EXPECT_EQ(m->CountFrame(), r.count);
    EXPECT_EQ(d.NewSurfaces(), r.count);
    if (r.count) {
      EXPECT_TRUE(Shows(d, DrawFrame(d, m, 199), strip, 199 * 4, 4, 4, 0, 0));
    }
  }
}

TEST(KmvStrip, UndefinedFrameHeight) {
  for (std::int32_t height : {0, -52}) {
    SpriteDisplay d;
    const vcl::TBitmap strip = StripBitmap(8, 64);
    TKMV* m = Movie(d, strip, height);
    EXPECT_EQ(m->ErrorResult(), "Not defined OriginalHeight") << height;
    EXPECT_EQ(m->CountFrame(), 0);
    EXPECT_EQ(d.NewSurfaces(), 0);
  }
}

TEST(KmvStrip, MissingEngineObjects) {
  SpriteDisplay d;
  const vcl::TBitmap strip = StripBitmap(8, 64);
  struct Row {
    bool dd, back, prim;
    const char* text;
  } rows[] = {{false, true, true, "FDD==NULL"}, {true, false, true, "FDDBACK==NULL"}, {true, true, false, "FDDPRIM==NULL"}};
  for (const Row& r : rows) {
    d.engine->FDD = r.dd ? d.dd : nullptr;
    d.engine->FDDBACK = r.back ? d.back : nullptr;
    d.engine->FDDPRIM = r.prim ? d.prim : nullptr;
    TKMV* m = Movie(d, strip, 8);
    EXPECT_EQ(m->ErrorResult(), r.text);
    EXPECT_EQ(m->CountFrame(), 0);
  }
  EXPECT_EQ(d.NewSurfaces(), 0);
  d.engine->FDD = d.dd;
  d.engine->FDDBACK = d.back;
  d.engine->FDDPRIM = d.prim;
  auto* orphan = new TKMV(&d.owner);  // no engine as parent
  orphan->CreateDXMovie();
  EXPECT_EQ(orphan->ErrorResult(), "FDD==NULL");
  orphan->DrawMovie();
  orphan->RestoreSurfaces();
}

// --- JPEG strips --------------------------------------------------------------------------------

std::uint32_t Flame(int x, int y) {
  return (static_cast<std::uint32_t>(40 + 20 * (y / 16)) << 16) | (static_cast<std::uint32_t>(8 * (x / 8)) << 8) | 0x10u;
}

TEST(KmvJpeg, StripWithoutItsDecodedBitmapMakesNoSurfaces) {
  SpriteDisplay d;
  TKMV* m = d.Make<TKMV>();
  m->Picture()->LoadFromData(pictures_test::EncodeJpeg(32, 160, Flame), "KMV2flame1");
  m->SetYOffsetFrame(16);
  m->CreateDXMovie();
  EXPECT_EQ(m->ErrorResult(), "not loaded DIB BMP");
  EXPECT_EQ(m->CountFrame(), 10);
  EXPECT_EQ(d.NewSurfaces(), 0);
  // Every frame of it is empty: a draw is refused like a blit from nothing.
  DrawFrame(d, m, 3);
  EXPECT_EQ(m->ErrorResult(), "Error FDDBACK->BltFast (MOV) err #DERR_INVALIDPARAMS");
}

TEST(KmvJpeg, FramesComeFromTheDecodedBitmapAndAreTheSameAfterARestore) {
  SpriteDisplay d;
  vcl::TPicture picture;
  picture.LoadFromData(pictures_test::EncodeJpeg(32, 160, Flame), "KMV2flame1");
  TKMV* m = Movie(d, *picture.Graphic(), 16, 300, 400);
  EXPECT_EQ(m->ErrorResult(), "");
  ASSERT_EQ(m->CountFrame(), 10);
  EXPECT_TRUE(m->DibLoaded());
  const vcl::TBitmap& dib = *m->DibBitmap();
  std::vector<Snapshot> before;
  for (std::int32_t n = 0; n < 10; ++n) {
    before.push_back(DrawFrame(d, m, n));
    EXPECT_TRUE(Shows(d, before.back(), dib, n * 16, 32, 16, 300, 400)) << n;
  }
  const vcl::TPixels held = m->Picture()->Graphic()->Pixels();
  const std::vector<std::uint32_t> heldCopy(held.Data, held.Data + static_cast<std::size_t>(held.Pitch) * held.Height);

  mem::Control().LoseDisplay();
  m->SetNumberFrame(0);
  m->DrawMovie();
  EXPECT_EQ(m->ErrorResult(), "Lost surface");
  d.RestorePrimary();
  m->SetErrorResult("");
  m->RestoreSurfaces();
  EXPECT_EQ(m->ErrorResult(), "");
  for (std::int32_t n = 0; n < 10; ++n) EXPECT_TRUE(DrawFrame(d, m, n).pixels == before[n].pixels) << n;
  const vcl::TPixels after = m->Picture()->Graphic()->Pixels();
  EXPECT_TRUE(std::equal(heldCopy.begin(), heldCopy.end(), after.Data));
}

// --- stretching ---------------------------------------------------------------------------------

TEST(KmvStretching, At1024x768FramesAreDrawnOneToOne) {
  SpriteDisplay d;
  const vcl::TBitmap strip = StripBitmap(52, 520);
  TKMV* m = Movie(d, strip, 52, 418, 252, true);
  EXPECT_EQ(m->StretchWidth(), 52);
  EXPECT_EQ(m->StretchHeight(), 52);
  EXPECT_EQ(m->GetShowX(), 418);
  EXPECT_EQ(m->FrameWidth(), 52);
  EXPECT_TRUE(Shows(d, DrawFrame(d, m, 7), strip, 7 * 52, 52, 52, 418, 252));
}

TEST(KmvStretching, At800x600FramesAreScaledAndPlaced) {
  SpriteDisplay d(800, 600);
  const vcl::TBitmap strip = StripBitmap(52, 520);
  TKMV* m = Movie(d, strip, 52, 512, 384, true);
  EXPECT_EQ(m->GetShowX(), 400);
  EXPECT_EQ(m->GetShowY(), 300);
  EXPECT_EQ(m->StretchWidth(), 40);   // 52 × 800 / 1024 = 40.6
  EXPECT_EQ(m->StretchHeight(), 40);  // 52 × 600 / 768 = 40.6
  const Snapshot got = DrawFrame(d, m, 2);
  EXPECT_EQ(got.At(400, 300), StripPat(0, 104));
  EXPECT_EQ(got.At(439, 339), StripPat(51, 104 + 51));
  EXPECT_EQ(got.At(440, 300), kClear);
}

// --- transparency -------------------------------------------------------------------------------

TEST(KmvTransparency, EachFramesTopLeftPixelIsItsKey) {
  // Frame 0: black corner, so black is transparent. Frame 1: dark grey corner with black in it,
  // so the grey is transparent and the black is drawn.
  const std::uint32_t grey = 0x202020;
  std::vector<std::uint32_t> px(4 * 8, 0x777777);
  px[0] = 0x000000;
  px[1] = 0x000000;
  px[2] = grey;
  px[4 * 4 + 0] = grey;
  px[4 * 4 + 1] = 0x000000;
  px[4 * 4 + 2] = grey;
  vcl::TBitmap strip;
  strip.SetPixels(4, 8, px);
  SpriteDisplay d;
  TKMV* m = Movie(d, strip, 4, 10, 10);
  EXPECT_EQ(m->DDColorMatch(m->Surface(0), gdi::CLR_INVALID), 0u);
  EXPECT_EQ(m->DDColorMatch(m->Surface(1), gdi::CLR_INVALID), grey);
  m->SetTransparency(true);
  EXPECT_TRUE(m->Transparency());
  EXPECT_EQ(m->ErrorResult(), "");

  Snapshot f0 = DrawFrame(d, m, 0);
  EXPECT_EQ(f0.At(10, 10), kClear);
  EXPECT_EQ(f0.At(11, 10), kClear);
  EXPECT_EQ(f0.At(12, 10), grey);
  EXPECT_EQ(f0.At(13, 10), 0x777777u);
  Snapshot f1 = DrawFrame(d, m, 1);
  EXPECT_EQ(f1.At(10, 10), kClear);
  EXPECT_EQ(f1.At(11, 10), 0x000000u);
  EXPECT_EQ(f1.At(12, 10), kClear);
  EXPECT_EQ(f1.At(13, 10), 0x777777u);

  m->SetTransparency(false);
  EXPECT_EQ(DrawFrame(d, m, 1).At(10, 10), grey);
}

TEST(KmvTransparency, ColourMatchOfAGivenColourLeavesTheSurfaceAsItWas) {
  SpriteDisplay d;
  const vcl::TBitmap strip = StripBitmap(4, 8);
  TKMV* m = Movie(d, strip, 4);
  EXPECT_EQ(m->DDColorMatch(m->Surface(1), gdi::RGB(0x12, 0x34, 0x56)), 0x123456u);
  EXPECT_EQ(Read(m->Surface(1)).At(0, 0), StripPat(0, 4));
  mem::Control().Fail(mem::Op::Lock, {DDERR_GENERIC, 1, 0, mem::kOffscreen});
  EXPECT_EQ(m->DDColorMatch(m->Surface(1), gdi::CLR_INVALID), 0xFFFFFFFFu);
}

TEST(KmvTransparency, WithoutFramesNothingHappens) {
  SpriteDisplay d;
  TKMV* m = d.Make<TKMV>();
  m->SetTransparency(true);
  EXPECT_FALSE(m->Transparency());
  EXPECT_EQ(m->ErrorResult(), "");
  m->DrawMovie();  // built: draws nothing and reports nothing
  EXPECT_EQ(m->ErrorResult(), "");
}

TEST(KmvTransparency, RefusedKeyLosesOnlyThatFrame) {
  SpriteDisplay d;
  const vcl::TBitmap strip = StripBitmap(6, 18);
  TKMV* m = Movie(d, strip, 6, 20, 20);
  ASSERT_EQ(m->CountFrame(), 3);
  mem::Control().Fail(mem::Op::SetColorKey, {DDERR_GENERIC, 1, 1, mem::kOffscreen});
  m->SetTransparency(true);
  EXPECT_EQ(m->ErrorResult(), "Error SetColorKey (ANI)");
  EXPECT_TRUE(m->Transparency());
  EXPECT_EQ(m->Surface(1), nullptr);
  EXPECT_EQ(d.NewSurfaces(), 2);
  for (std::int32_t n : {0, 2}) {
    m->SetErrorResult("");
    const Snapshot got = DrawFrame(d, m, n);
    EXPECT_EQ(m->ErrorResult(), "");
    EXPECT_EQ(got.At(20, 20), kClear) << n;  // its own corner colour is its key
    EXPECT_EQ(got.At(21, 20), StripPat(1, n * 6)) << n;
    EXPECT_EQ(got.At(25, 25), StripPat(5, n * 6 + 5)) << n;
  }
  EXPECT_TRUE(DrawFrame(d, m, 1).pixels == d.Cleared().pixels);
  EXPECT_EQ(m->ErrorResult(), "Error FDDBACK->BltFast (MOV) err #DERR_INVALIDPARAMS");
}

// --- frames that are not there ------------------------------------------------------------------

TEST(KmvFrames, OutOfRangeOrEmptyFramesDrawNothingAndAreReportedAsRefusedBlits) {
  SpriteDisplay d;
  const vcl::TBitmap strip = StripBitmap(8, 40);
  TKMV* m = Movie(d, strip, 8, 5, 5);
  ASSERT_EQ(m->CountFrame(), 5);
  const int blits = mem::Control().Calls(mem::Op::BltFast);
  for (std::int32_t n : {-1, 5, 199, 200, 100000, -2147483647 - 1}) {
    m->SetErrorResult("");
    EXPECT_TRUE(DrawFrame(d, m, n).pixels == d.Cleared().pixels) << n;
    EXPECT_EQ(m->ErrorResult(), "Error FDDBACK->BltFast (MOV) err #DERR_INVALIDPARAMS") << n;
  }
  EXPECT_EQ(mem::Control().Calls(mem::Op::BltFast), blits);
  // Off the screen it is not even looked at.
  m->SetShowX(1023);
  m->SetErrorResult("");
  DrawFrame(d, m, 7);
  EXPECT_EQ(m->ErrorResult(), "");
}

TEST(KmvFrames, AFailedFrameLeavesOnlyItselfEmpty) {
  struct Row {
    mem::Op op;
    const char* text;
  } rows[] = {{mem::Op::CreateOffscreen, "Error CreateSurfaceMOV"}, {mem::Op::GetDC, "Error FpSurface->GetDC (MOV)"}};
  for (const Row& r : rows) {
    SpriteDisplay d;
    const vcl::TBitmap strip = StripBitmap(8, 40);
    mem::Control().Fail(r.op, {DDERR_GENERIC, 1, 2, mem::kOffscreen});
    TKMV* m = Movie(d, strip, 8, 5, 5);
    EXPECT_EQ(m->ErrorResult(), r.text);
    ASSERT_EQ(m->CountFrame(), 5);
    EXPECT_EQ(m->Surface(2), nullptr);
    EXPECT_EQ(d.NewSurfaces(), 4);
    for (std::int32_t n : {0, 1, 3, 4}) EXPECT_TRUE(Shows(d, DrawFrame(d, m, n), strip, n * 8, 8, 8, 5, 5)) << n;
  }
}

TEST(KmvFrames, CutOnBothSidesWhenWiderThanTheScreen) {
  SpriteDisplay d(40, 30);
  const vcl::TBitmap strip = StripBitmap(60, 20);
  TKMV* m = Movie(d, strip, 10, -5, 25);
  const Snapshot got = DrawFrame(d, m, 1);
  Snapshot want = d.Cleared();
  for (std::int32_t y = 0; y < 4; ++y)  // rows 25 … 28: the last row (29) is never drawn
    for (std::int32_t x = 0; x < 39; ++x) want.At(x, 25 + y) = StripPat(x + 5, 10 + y);
  EXPECT_TRUE(got.pixels == want.pixels);
  EXPECT_EQ(m->ErrorResult(), "");
}

// --- blit results, restore and close ------------------------------------------------------------

TEST(KmvBlit, MessagesNameTheCode) {
  SpriteDisplay d;
  const vcl::TBitmap strip = StripBitmap(8, 16);
  TKMV* m = Movie(d, strip, 8);
  struct Row {
    HRESULT code;
    const char* text;
  } rows[] = {{DDERR_INVALIDRECT, "Error FDDBACK->BltFast (MOV) err #DDERR_INVALIDRECT"},
              {DDERR_NOBLTHW, "Error FDDBACK->BltFast (MOV) err #DDERR_NOBLTHW"},
              {DDERR_SURFACELOST, "Lost surface"},
              {E_FAIL, "Error FDDBACK->BltFast (MOV) err #"}};
  for (const Row& r : rows) {
    mem::Control().Fail(mem::Op::BltFast, {r.code, 1, 0, mem::kBack});
    DrawFrame(d, m, 0);
    EXPECT_EQ(m->ErrorResult(), r.text);
  }
}

TEST(KmvRestore, StopsAtTheFirstRefusedRestore) {
  SpriteDisplay d;
  const vcl::TBitmap strip = StripBitmap(8, 40);
  TKMV* m = Movie(d, strip, 8);
  mem::Control().LoseDisplay();
  d.RestorePrimary();
  mem::Control().Fail(mem::Op::Restore, {DDERR_GENERIC, 1, 2, mem::kOffscreen});
  const int restores = mem::Control().Calls(mem::Op::Restore, mem::kOffscreen);
  m->RestoreSurfaces();
  EXPECT_EQ(m->ErrorResult(), "Can't restore surface TKMV");
  EXPECT_EQ(mem::Control().Calls(mem::Op::Restore, mem::kOffscreen) - restores, 3);
  for (std::int32_t n : {0, 1}) EXPECT_TRUE(Shows(d, DrawFrame(d, m, n), strip, n * 8, 8, 8, 0, 0)) << n;
  DrawFrame(d, m, 3);  // never restored: its surface is still lost
  EXPECT_EQ(m->ErrorResult(), "Lost surface");
}

TEST(KmvRestore, ADeviceContextFailureEmptiesThatFrameAndGoesOn) {
  SpriteDisplay d;
  const vcl::TBitmap strip = StripBitmap(8, 40);
  TKMV* m = Movie(d, strip, 8);
  mem::Control().LoseDisplay();
  d.RestorePrimary();
  mem::Control().Fail(mem::Op::GetDC, {DDERR_GENERIC, 1, 1, mem::kOffscreen});
  m->RestoreSurfaces();
  EXPECT_EQ(m->ErrorResult(), "Error FpSurface->GetDC (RestoreSurfaces)");
  EXPECT_EQ(m->Surface(1), nullptr);
  for (std::int32_t n : {0, 2, 3, 4}) EXPECT_TRUE(Shows(d, DrawFrame(d, m, n), strip, n * 8, 8, 8, 0, 0)) << n;
  m->SetErrorResult("");
  m->RestoreSurfaces();  // the empty entry is skipped
  EXPECT_EQ(m->ErrorResult(), "");
}

TEST(KmvClose, ReleasesEveryFrameAndKeepsTheCount) {
  SpriteDisplay d;
  const vcl::TBitmap strip = StripBitmap(8, 40);
  TKMV* m = Movie(d, strip, 8);
  m->CreateDXMovie();  // cut again: the first frames are not leaked
  EXPECT_EQ(d.NewSurfaces(), 5);
  m->CloseDXMovie();
  EXPECT_EQ(d.NewSurfaces(), 0);
  EXPECT_EQ(m->CountFrame(), 5);
  m->SetErrorResult("");
  m->DrawMovie();
  m->RestoreSurfaces();
  EXPECT_EQ(m->ErrorResult(), "");
}

TEST(KmvProperties, DefaultsAndTheDecodedBitmapCopy) {
  SpriteDisplay d;
  TKMV* m = d.Make<TKMV>();
  EXPECT_STREQ(m->ClassName(), "TKMV");
  EXPECT_EQ(m->StretchWidth(), 100);
  EXPECT_EQ(m->StretchHeight(), 100);
  EXPECT_EQ(m->GetYOffsetFrame(), 0);
  EXPECT_EQ(m->GetNumberFrame(), 0);
  EXPECT_FALSE(m->DibLoaded());
  ASSERT_NE(m->DibBitmap(), nullptr);
  EXPECT_TRUE(m->DibBitmap()->Empty());
  m->SetFDibBitmap(nullptr);
  EXPECT_FALSE(m->DibLoaded());
  vcl::TBitmap b = StripBitmap(3, 3);
  m->SetFDibBitmap(&b);
  EXPECT_TRUE(m->DibLoaded());
  b.ScanLine(0)[0] = 0;  // a copy: the original may change
  EXPECT_EQ(m->DibBitmap()->ScanLine(0)[0], StripPat(0, 0));
}

}  // namespace
}  // namespace sprites_test
