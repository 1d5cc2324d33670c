#pragma once
// An engine with an open in-memory display, as the scene has it when it sets its sprites up, and
// the pixel helpers the sprite tests read the back surface with.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/Kss.h"
#include "platform/ddraw/Backend.h"
#include "platform/ddraw/DDraw.h"
#include "platform/ddraw/Memory.h"
#include "platform/vcl/Graphics.h"

namespace sprites_test {

using namespace ddraw;
namespace mem = ddraw::memory;

// A distinct, never-black value for every pixel of pictures up to 1024 × 1024.
constexpr std::uint32_t Pat(std::int32_t x, std::int32_t y) {
  return 0x400000u + static_cast<std::uint32_t>(x) * 1024u + static_cast<std::uint32_t>(y);
}

inline vcl::TBitmap PatternBitmap(std::int32_t width, std::int32_t height) {
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
  for (std::int32_t y = 0; y < height; ++y)
    for (std::int32_t x = 0; x < width; ++x) pixels[static_cast<std::size_t>(y) * width + x] = Pat(x, y);
  vcl::TBitmap bitmap;
  bitmap.SetPixels(width, height, std::move(pixels));
  return bitmap;
}

// The whole of a surface's memory, read through Lock.
struct Snapshot {
  std::int32_t width = 0, height = 0;
  std::vector<std::uint32_t> pixels;
  std::uint32_t At(std::int32_t x, std::int32_t y) const { return pixels.at(static_cast<std::size_t>(y) * width + x); }
  std::uint32_t& At(std::int32_t x, std::int32_t y) { return pixels.at(static_cast<std::size_t>(y) * width + x); }
};

inline Snapshot Read(IDirectDrawSurface* surface) {
  Snapshot s;
  DDSURFACEDESC desc{};
  if (surface->Lock(nullptr, &desc, 0, nullptr) != DD_OK) {
    ADD_FAILURE() << "surface cannot be locked";
    return s;
  }
  s.width = static_cast<std::int32_t>(desc.dwWidth);
  s.height = static_cast<std::int32_t>(desc.dwHeight);
  s.pixels.resize(static_cast<std::size_t>(s.width) * s.height);
  const auto* base = static_cast<const std::uint8_t*>(desc.lpSurface);
  for (std::int32_t y = 0; y < s.height; ++y)
    std::memcpy(&s.pixels[static_cast<std::size_t>(y) * s.width], base + static_cast<std::size_t>(y) * desc.lPitch,
                static_cast<std::size_t>(s.width) * 4);
  surface->Unlock(nullptr);
  return s;
}

// What the frame's clearing leaves on the back surface in these tests: a colour no picture has.
inline constexpr std::uint32_t kClear = 0x00123456;

class SpriteDisplay {
 public:
  explicit SpriteDisplay(std::int32_t width = 1024, std::int32_t height = 768) {
    UseBackend(BackendKind::Memory);
    mem::Control().Reset();
    engine = new engine::TKss(&owner);
    engine->SetWidthScreen(width);
    engine->SetHeightScreen(height);
    EXPECT_EQ(DirectDrawCreate(nullptr, &dd, nullptr), DD_OK);
    EXPECT_EQ(dd->SetCooperativeLevel(nullptr, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
    EXPECT_EQ(dd->SetDisplayMode(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height), 32), DD_OK);
    DDSURFACEDESC desc{};
    desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    desc.dwBackBufferCount = 1;
    EXPECT_EQ(dd->CreateSurface(&desc, &prim, nullptr), DD_OK);
    DDSCAPS caps{DDSCAPS_BACKBUFFER};
    EXPECT_EQ(prim->GetAttachedSurface(&caps, &back), DD_OK);
    engine->FDD = dd;
    engine->FDDPRIM = prim;
    engine->FDDBACK = back;
    baseSurfaces = mem::Control().LiveSurfaces();
  }

  ~SpriteDisplay() {
    // The sprites go first (they release their surfaces), then the borrowed objects.
    while (owner.ComponentCount() > 1) delete owner.Components(owner.ComponentCount() - 1);
    engine->FDD = nullptr;
    engine->FDDPRIM = nullptr;
    engine->FDDBACK = nullptr;
    if (back) back->Release();
    if (prim) prim->Release();
    if (dd) dd->Release();
    mem::Control().Reset();
  }

  template <typename Sprite>
  Sprite* Make() {
    auto* sprite = new Sprite(&owner);
    sprite->SetParent(engine);
    return sprite;
  }

  void Clear() {
    DDBLTFX fx{};
    fx.dwFillColor = kClear;
    ASSERT_EQ(back->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);
  }
  Snapshot Back() { return Read(back); }
  Snapshot Cleared() {
    Snapshot s;
    s.width = engine->Width();
    s.height = engine->Height();
    s.pixels.assign(static_cast<std::size_t>(s.width) * s.height, kClear);
    return s;
  }
  // The primary's chain restored, as the engine does before it asks the sprites to refill.
  void RestorePrimary() { ASSERT_EQ(prim->Restore(), DD_OK); }
  int NewSurfaces() const { return mem::Control().LiveSurfaces() - baseSurfaces; }

  vcl::TComponent owner{nullptr};
  engine::TKss* engine = nullptr;
  IDirectDraw* dd = nullptr;
  IDirectDrawSurface* prim = nullptr;
  IDirectDrawSurface* back = nullptr;
  int baseSurfaces = 0;
};

}  // namespace sprites_test
