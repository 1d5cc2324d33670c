// Pixel-level behaviour of the surfaces, on the in-memory display.
#include <gtest/gtest.h>

#include <climits>

#include "MemoryFixture.h"
#include "platform/gdi/Gdi.h"

namespace ddraw::testing {
namespace {

using Surfaces = MemoryDisplay;

TEST_F(Surfaces, ColourFillCoversTheWholeSurfaceOrJustTheRectangle) {
  ASSERT_EQ(FillRect(back, 0x00112233), DD_OK);
  RECT r{10, 5, 20, 8};
  ASSERT_EQ(FillRect(back, 0x00FF0000, &r), DD_OK);
  const auto px = Pixels(back);
  ASSERT_EQ(px.size(), static_cast<std::size_t>(kW * kH));
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      const bool in = x >= 10 && x < 20 && y >= 5 && y < 8;
      ASSERT_EQ(px[y * kW + x], in ? 0x00FF0000u : 0x00112233u) << x << "," << y;
    }
  RECT outside{60, 0, 65, 1};
  EXPECT_EQ(FillRect(back, 0, &outside), DDERR_INVALIDRECT);
  EXPECT_EQ(PixelAt(back, 63, 0), 0x00112233u) << "a refused fill drew nothing";
  DDBLTFX fx;
  EXPECT_EQ(back->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, nullptr), DDERR_INVALIDPARAMS);
  EXPECT_EQ(back->Blt(nullptr, nullptr, nullptr, 0, &fx), DDERR_UNSUPPORTED);
}

TEST_F(Surfaces, FastBlitCopiesTheSourceRectangleToThePoint) {
  IDirectDrawSurface* src = Offscreen(8, 6);
  ASSERT_EQ(FillRect(back, 0x00000010), DD_OK);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x) {
      RECT p{x, y, x + 1, y + 1};
      FillRect(src, static_cast<std::uint32_t>(0x00010000 * (y + 1) + x + 1), &p);
    }
  RECT part{2, 1, 7, 4};  // 5 x 3
  ASSERT_EQ(back->BltFast(30, 40, src, &part, DDBLTFAST_NOCOLORKEY | DDBLTFAST_WAIT), DD_OK);
  const auto px = Pixels(back);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      const bool in = x >= 30 && x < 35 && y >= 40 && y < 43;
      const std::uint32_t want = in ? static_cast<std::uint32_t>(0x00010000 * (y - 40 + 2) + (x - 30 + 2) + 1) : 0x10u;
      ASSERT_EQ(px[y * kW + x], want) << x << "," << y;
    }
  // No rectangle: the whole source.
  ASSERT_EQ(back->BltFast(0, 0, src, nullptr, DDBLTFAST_NOCOLORKEY), DD_OK);
  EXPECT_EQ(PixelAt(back, 7, 5), 0x00060008u);
  EXPECT_EQ(PixelAt(back, 8, 5), 0x10u);
}

TEST_F(Surfaces, SourceKeySkipsExactlyTheKeyValue) {
  IDirectDrawSurface* src = Offscreen(4, 1);
  const std::uint32_t colours[4] = {0x00000000, 0x00000001, 0x00ABCDEF, 0x00000000};
  for (int x = 0; x < 4; ++x) {
    RECT p{x, 0, x + 1, 1};
    FillRect(src, colours[x], &p);
  }
  DDCOLORKEY key{0, 0};
  ASSERT_EQ(src->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
  ASSERT_EQ(FillRect(back, 0x00777777), DD_OK);
  ASSERT_EQ(back->BltFast(1, 1, src, nullptr, DDBLTFAST_SRCCOLORKEY), DD_OK);
  EXPECT_EQ(PixelAt(back, 1, 1), 0x00777777u);
  EXPECT_EQ(PixelAt(back, 2, 1), 0x00000001u) << "nearly black is drawn";
  EXPECT_EQ(PixelAt(back, 3, 1), 0x00ABCDEFu);
  EXPECT_EQ(PixelAt(back, 4, 1), 0x00777777u);
  // Without the flag the key is ignored.
  ASSERT_EQ(back->BltFast(1, 1, src, nullptr, DDBLTFAST_NOCOLORKEY), DD_OK);
  EXPECT_EQ(PixelAt(back, 1, 1), 0u);

  DDCOLORKEY range{0, 5};
  EXPECT_EQ(src->SetColorKey(DDCKEY_SRCBLT, &range), DDERR_UNSUPPORTED);
  IDirectDrawSurface* unkeyed = Offscreen(2, 2);
  EXPECT_EQ(back->BltFast(0, 0, unkeyed, nullptr, DDBLTFAST_SRCCOLORKEY), DDERR_NOCOLORKEY);
}

struct RectCase {
  const char* name;
  std::int32_t x, y;
  RECT src;
  HRESULT want;
};

TEST_F(Surfaces, FastBlitRefusesRectanglesNotInsideTheirSurfaces) {
  IDirectDrawSurface* src = Offscreen(10, 10);
  ASSERT_EQ(FillRect(src, 0x00FFFFFF), DD_OK);
  const RectCase cases[] = {
      {"fits exactly at the far corner", kW - 10, kH - 10, {0, 0, 10, 10}, DD_OK},
      {"one column past the right edge", kW - 9, 0, {0, 0, 10, 10}, DDERR_INVALIDRECT},
      {"one row past the bottom", 0, kH - 9, {0, 0, 10, 10}, DDERR_INVALIDRECT},
      {"negative destination x", -1, 0, {0, 0, 10, 10}, DDERR_INVALIDRECT},
      {"negative destination y", 0, -1, {0, 0, 10, 10}, DDERR_INVALIDRECT},
      {"source wider than the source surface", 0, 0, {0, 0, 11, 10}, DDERR_INVALIDRECT},
      {"source starts left of the surface", 0, 0, {-1, 0, 5, 5}, DDERR_INVALIDRECT},
      {"inverted source", 0, 0, {5, 0, 2, 5}, DDERR_INVALIDRECT},
      {"destination beyond 32 bits", INT_MAX - 2, 0, {0, 0, 10, 10}, DDERR_INVALIDRECT},
      {"empty source draws nothing", 3, 3, {4, 4, 4, 9}, DD_OK},
  };
  for (const RectCase& c : cases) {
    ASSERT_EQ(FillRect(back, 0), DD_OK);
    EXPECT_EQ(back->BltFast(c.x, c.y, src, &c.src, DDBLTFAST_NOCOLORKEY), c.want) << c.name;
    if (c.want != DD_OK) {
      for (std::uint32_t p : Pixels(back)) ASSERT_EQ(p, 0u) << c.name << ": partial drawing";
    }
  }
  EXPECT_EQ(back->BltFast(0, 0, nullptr, nullptr, 0), DDERR_INVALIDPARAMS);
}

TEST_F(Surfaces, BlitWithinOneSurfaceHandlesOverlap) {
  IDirectDrawSurface* s = Offscreen(1, 6);
  for (int y = 0; y < 6; ++y) {
    RECT p{0, y, 1, y + 1};
    FillRect(s, static_cast<std::uint32_t>(y + 1), &p);
  }
  RECT top{0, 0, 1, 4};
  ASSERT_EQ(s->BltFast(0, 2, s, &top, 0), DD_OK);
  EXPECT_EQ(Pixels(s), (std::vector<std::uint32_t>{1, 2, 1, 2, 3, 4}));
}

TEST_F(Surfaces, LockHandsOutTheWholeSurface) {
  IDirectDrawSurface* s = Offscreen(5, 3);
  ASSERT_EQ(FillRect(s, 0x00ABCDEF), DD_OK);
  DDSURFACEDESC d;
  ASSERT_EQ(s->Lock(nullptr, &d, 0, nullptr), DD_OK);
  EXPECT_EQ(d.dwWidth, 5u);
  EXPECT_EQ(d.dwHeight, 3u);
  EXPECT_GE(d.lPitch, 5 * 4);
  EXPECT_EQ(d.ddpfPixelFormat.dwRGBBitCount, 32u);
  EXPECT_EQ(d.ddpfPixelFormat.dwRBitMask, 0x00FF0000u);
  EXPECT_EQ(*static_cast<std::uint32_t*>(d.lpSurface), 0x00ABCDEFu);
  static_cast<std::uint32_t*>(d.lpSurface)[1] = 0x00123456;
  DDSURFACEDESC again;
  EXPECT_EQ(s->Lock(nullptr, &again, 0, nullptr), DDERR_SURFACEBUSY);
  EXPECT_EQ(back->BltFast(0, 0, s, nullptr, 0), DDERR_SURFACEBUSY) << "a locked source is busy";
  ASSERT_EQ(s->Unlock(nullptr), DD_OK);
  EXPECT_EQ(s->Unlock(nullptr), DDERR_NOTLOCKED);
  EXPECT_EQ(PixelAt(s, 1, 0), 0x00123456u);
  DDSURFACEDESC wrongSize;
  wrongSize.dwSize = 0;
  EXPECT_EQ(s->Lock(nullptr, &wrongSize, 0, nullptr), DDERR_INVALIDPARAMS);
}

TEST_F(Surfaces, DeviceContextDrawsIntoTheSurfaceMemoryWithFreshState) {
  IDirectDrawSurface* s = Offscreen(7, 4);
  ASSERT_EQ(FillRect(s, 0x00010203), DD_OK);
  HDC dc = nullptr;
  ASSERT_EQ(s->GetDC(&dc), DD_OK);
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(dc->bits.width, 7);
  EXPECT_EQ(dc->bits.height, 4);
  EXPECT_GE(dc->bits.pitch, 7);
  EXPECT_EQ(dc->bits.pixels[0], 0x00010203u);
  dc->bits.pixels[dc->bits.pitch * 3 + 6] = 0x00FF00FF;
  dc->bkMode = gdi::TRANSPARENT;
  dc->textColor = gdi::RGB(1, 2, 3);
  dc->font = reinterpret_cast<gdi::HFONT>(dc);  // any non-null value
  HDC second = nullptr;
  EXPECT_EQ(s->GetDC(&second), DDERR_DCALREADYCREATED);
  EXPECT_EQ(back->BltFast(0, 0, s, nullptr, 0), DDERR_SURFACEBUSY);
  gdi::DC stranger;
  EXPECT_EQ(s->ReleaseDC(&stranger), DDERR_INVALIDPARAMS);
  ASSERT_EQ(s->ReleaseDC(dc), DD_OK);
  EXPECT_EQ(PixelAt(s, 6, 3), 0x00FF00FFu);

  ASSERT_EQ(s->GetDC(&dc), DD_OK);
  EXPECT_EQ(dc->font, nullptr);
  EXPECT_EQ(dc->bkMode, gdi::OPAQUE);
  EXPECT_EQ(dc->textColor, 0u);
  ASSERT_EQ(s->ReleaseDC(dc), DD_OK);
  EXPECT_EQ(s->ReleaseDC(dc), DDERR_INVALIDPARAMS);
}

TEST_F(Surfaces, FlipShowsTheBackBufferAndSwaps) {
  ASSERT_EQ(FillRect(prim, 0x00000044), DD_OK);
  ASSERT_EQ(FillRect(back, 0x00AA0000), DD_OK);
  RECT dot{3, 4, 4, 5};
  ASSERT_EQ(FillRect(back, 0x0000BB00, &dot), DD_OK);
  ASSERT_EQ(prim->Flip(nullptr, 0), DD_OK);
  const memory::Frame shown = memory::Control().Shown();
  ASSERT_EQ(shown.width, kW);
  ASSERT_EQ(shown.height, kH);
  EXPECT_EQ(shown.serial, 1u);
  EXPECT_EQ(shown.At(0, 0), 0x00AA0000u);
  EXPECT_EQ(shown.At(3, 4), 0x0000BB00u);
  EXPECT_EQ(PixelAt(prim, 3, 4), 0x0000BB00u);
  EXPECT_EQ(PixelAt(back, 3, 4), 0x00000044u) << "the back buffer now holds the old front";
  EXPECT_EQ(back->Flip(nullptr, 0), DDERR_NOTFLIPPABLE);
  EXPECT_EQ(memory::Control().Calls(memory::Op::Flip), 2);
  EXPECT_EQ(memory::Control().Shown().serial, 1u);
}

TEST_F(Surfaces, LostDisplayLosesEverySurfaceUntilEachIsRestored) {
  IDirectDrawSurface* s = Offscreen(4, 4);
  ASSERT_EQ(FillRect(s, 0x00123456), DD_OK);
  ASSERT_EQ(FillRect(back, 0x00123456), DD_OK);
  memory::Control().LoseDisplay();
  for (IDirectDrawSurface* each : {prim, back, s}) EXPECT_EQ(each->IsLost(), DDERR_SURFACELOST);

  HDC dc = nullptr;
  DDSURFACEDESC d;
  EXPECT_EQ(FillRect(back, 0), DDERR_SURFACELOST);
  EXPECT_EQ(back->BltFast(0, 0, s, nullptr, 0), DDERR_SURFACELOST);
  EXPECT_EQ(prim->Flip(nullptr, 0), DDERR_SURFACELOST);
  EXPECT_EQ(back->GetDC(&dc), DDERR_SURFACELOST);
  EXPECT_EQ(s->Lock(nullptr, &d, 0, nullptr), DDERR_SURFACELOST);

  ASSERT_EQ(prim->Restore(), DD_OK);
  EXPECT_EQ(prim->IsLost(), DD_OK);
  EXPECT_EQ(back->IsLost(), DD_OK) << "the primary restores its back buffer";
  EXPECT_EQ(s->IsLost(), DDERR_SURFACELOST) << "an off-screen surface needs its own restore";
  EXPECT_EQ(back->BltFast(0, 0, s, nullptr, 0), DDERR_SURFACELOST);
  ASSERT_EQ(s->Restore(), DD_OK);
  EXPECT_EQ(s->IsLost(), DD_OK);
  // Restored memory is not the old picture.
  EXPECT_NE(PixelAt(s, 0, 0), 0x00123456u);
  EXPECT_NE(PixelAt(back, 0, 0), 0x00123456u);

  memory::Control().LosePrimary();
  EXPECT_EQ(prim->IsLost(), DDERR_SURFACELOST);
  EXPECT_EQ(back->IsLost(), DDERR_SURFACELOST);
  EXPECT_EQ(s->IsLost(), DD_OK);
}

TEST_F(Surfaces, ReleasingThePrimaryEndsTheChainOnceTheBackIsReleased) {
  const int live = memory::Control().LiveSurfaces();
  IDirectDrawSurface* extra = nullptr;
  DDSCAPS caps{DDSCAPS_BACKBUFFER};
  ASSERT_EQ(prim->GetAttachedSurface(&caps, &extra), DD_OK);
  EXPECT_EQ(extra, back);
  extra->Release();
  back->Release();
  back = nullptr;
  EXPECT_EQ(memory::Control().LiveSurfaces(), live) << "the primary still holds its back buffer";
  prim->Release();
  prim = nullptr;
  EXPECT_EQ(memory::Control().LiveSurfaces(), live - 2);
}

}  // namespace
}  // namespace ddraw::testing
