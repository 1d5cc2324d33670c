#pragma once
// An open in-memory display: exclusive, a small mode, the primary and its back buffer.
#include <gtest/gtest.h>

#include <vector>

#include "platform/ddraw/Backend.h"
#include "platform/ddraw/Memory.h"

namespace ddraw::testing {

class MemoryDisplay : public ::testing::Test {
 public:
  static constexpr std::int32_t kW = 64, kH = 48;

 protected:
  void SetUp() override {
    UseBackend(BackendKind::Memory);
    memory::Control().Reset();
    baseline_ = memory::Control().LiveSurfaces();
    ASSERT_EQ(DirectDrawCreate(nullptr, &dd, nullptr), DD_OK);
    ASSERT_EQ(dd->SetCooperativeLevel(nullptr, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
    ASSERT_EQ(dd->SetDisplayMode(kW, kH, 32), DD_OK);
    ASSERT_EQ(dd->CreateSurface(&PrimaryDesc(), &prim, nullptr), DD_OK);
    DDSCAPS caps{DDSCAPS_BACKBUFFER};
    ASSERT_EQ(prim->GetAttachedSurface(&caps, &back), DD_OK);
  }

  void TearDown() override {
    for (IDirectDrawSurface* s : offscreen_) s->Release();
    if (back) back->Release();
    if (prim) prim->Release();
    if (dd) dd->Release();
    EXPECT_EQ(memory::Control().LiveSurfaces(), baseline_) << "a surface was not released";
    memory::Control().Reset();
  }

 public:
  static const DDSURFACEDESC& PrimaryDesc() {
    static DDSURFACEDESC d = [] {
      DDSURFACEDESC desc;
      desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
      desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
      desc.dwBackBufferCount = 1;
      return desc;
    }();
    return d;
  }

  static DDSURFACEDESC OffscreenDesc(std::uint32_t w, std::uint32_t h) {
    DDSURFACEDESC desc;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    desc.dwWidth = w;
    desc.dwHeight = h;
    return desc;
  }

 protected:
  // An off-screen surface released by the fixture.
  IDirectDrawSurface* Offscreen(std::uint32_t w, std::uint32_t h) {
    IDirectDrawSurface* s = nullptr;
    DDSURFACEDESC desc = OffscreenDesc(w, h);
    EXPECT_EQ(dd->CreateSurface(&desc, &s, nullptr), DD_OK);
    if (s) offscreen_.push_back(s);
    return s;
  }

  static HRESULT FillRect(IDirectDrawSurface* s, std::uint32_t color, const RECT* r = nullptr) {
    DDBLTFX fx;
    fx.dwFillColor = color;
    return s->Blt(r, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
  }

  // Every pixel of a surface, row by row, read through Lock.
  static std::vector<std::uint32_t> Pixels(IDirectDrawSurface* s) {
    DDSURFACEDESC d;
    std::vector<std::uint32_t> out;
    if (s->Lock(nullptr, &d, 0, nullptr) != DD_OK) return out;
    for (std::uint32_t y = 0; y < d.dwHeight; ++y) {
      auto* row = reinterpret_cast<const std::uint32_t*>(static_cast<const char*>(d.lpSurface) + y * d.lPitch);
      out.insert(out.end(), row, row + d.dwWidth);
    }
    s->Unlock(nullptr);
    return out;
  }
  static std::uint32_t PixelAt(IDirectDrawSurface* s, std::int32_t x, std::int32_t y) {
    DDSURFACEDESC d;
    if (s->Lock(nullptr, &d, 0, nullptr) != DD_OK) return 0xDEADBEEF;
    const std::uint32_t v =
        reinterpret_cast<const std::uint32_t*>(static_cast<const char*>(d.lpSurface) + y * d.lPitch)[x];
    s->Unlock(nullptr);
    return v;
  }

  IDirectDraw* dd = nullptr;
  IDirectDrawSurface* prim = nullptr;
  IDirectDrawSurface* back = nullptr;

 private:
  std::vector<IDirectDrawSurface*> offscreen_;
  int baseline_ = 0;
};

}  // namespace ddraw::testing
