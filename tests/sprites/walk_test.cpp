// The engine reaches the sprites it owns through its form: closing the display releases their
// surfaces, and a restore after a display loss refills them.
#include <gtest/gtest.h>

#include "SpriteDisplay.h"
#include "platform/vcl/Forms.h"
#include "sprites/KIM.h"
#include "sprites/KMV.h"

namespace sprites_test {
namespace {

TEST(EngineWalk, CloseAndRestoreReachStillAndFilmStripSprites) {
  UseBackend(BackendKind::Memory);
  mem::Control().Reset();
  {
    vcl::TForm form(nullptr);
    auto* kss = new engine::TKss(&form);
    kss->SetWidthScreen(1024);
    kss->SetHeightScreen(768);
    ASSERT_EQ(DirectDrawCreate(nullptr, &kss->FDD, nullptr), DD_OK);
    ASSERT_EQ(kss->FDD->SetCooperativeLevel(nullptr, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
    ASSERT_EQ(kss->FDD->SetDisplayMode(1024, 768, 32), DD_OK);
    DDSURFACEDESC desc{};
    desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    desc.dwBackBufferCount = 1;
    ASSERT_EQ(kss->FDD->CreateSurface(&desc, &kss->FDDPRIM, nullptr), DD_OK);
    DDSCAPS caps{DDSCAPS_BACKBUFFER};
    ASSERT_EQ(kss->FDDPRIM->GetAttachedSurface(&caps, &kss->FDDBACK), DD_OK);
    const int chain = mem::Control().LiveSurfaces();

    auto* still = new sprites::TKIM(&form);
    still->SetParent(kss);
    vcl::TBitmap picture = PatternBitmap(30, 20);
    still->Picture()->SetGraphic(&picture);
    still->SetShowX(5);
    still->SetShowY(6);
    still->CreateDXImage();
    auto* movie = new sprites::TKMV(&form);
    movie->SetParent(kss);
    vcl::TBitmap strip = PatternBitmap(10, 40);
    movie->Picture()->SetGraphic(&strip);
    movie->SetShowX(100);
    movie->SetYOffsetFrame(10);
    movie->CreateDXMovie();
    ASSERT_EQ(mem::Control().LiveSurfaces() - chain, 5);

    mem::Control().LoseDisplay();
    kss->IsLostRestore();
    DDBLTFX fx{};
    fx.dwFillColor = kClear;
    ASSERT_EQ(kss->FDDBACK->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);
    still->DrawImage();
    movie->SetNumberFrame(3);
    movie->DrawMovie();
    EXPECT_EQ(still->ErrorResult(), "");
    EXPECT_EQ(movie->ErrorResult(), "");
    const Snapshot back = Read(kss->FDDBACK);
    EXPECT_EQ(back.At(5, 6), Pat(0, 0));
    EXPECT_EQ(back.At(34, 25), Pat(29, 19));
    EXPECT_EQ(back.At(100, 0), Pat(0, 30));
    EXPECT_EQ(back.At(109, 9), Pat(9, 39));

    kss->CloseDirectDraw();
    EXPECT_EQ(still->Surface(), nullptr);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(movie->Surface(i), nullptr);
    EXPECT_EQ(kss->FDD, nullptr);
    EXPECT_EQ(mem::Control().LiveSurfaces(), 0);
    EXPECT_EQ(mem::Control().LiveDisplays(), 0);
  }
  mem::Control().Reset();
}

}  // namespace
}  // namespace sprites_test
