// One frame's display work on the in-memory display: the clear and the flip, and the blits a
// sprite costs.
#include <benchmark/benchmark.h>

#include "platform/ddraw/Backend.h"
#include "platform/ddraw/Memory.h"

namespace {

using namespace ddraw;

struct MemoryScreen {
  IDirectDraw* dd = nullptr;
  IDirectDrawSurface* prim = nullptr;
  IDirectDrawSurface* back = nullptr;
  MemoryScreen() {
    UseBackend(BackendKind::Memory);
    memory::Control().Reset();
    DirectDrawCreate(nullptr, &dd, nullptr);
    dd->SetCooperativeLevel(nullptr, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN);
    dd->SetDisplayMode(1024, 768, 32);
    DDSURFACEDESC desc;
    desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    desc.dwBackBufferCount = 1;
    dd->CreateSurface(&desc, &prim, nullptr);
    DDSCAPS caps{DDSCAPS_BACKBUFFER};
    prim->GetAttachedSurface(&caps, &back);
  }
  ~MemoryScreen() {
    back->Release();
    prim->Release();
    dd->Release();
  }
  IDirectDrawSurface* Offscreen(std::uint32_t w, std::uint32_t h) {
    DDSURFACEDESC desc;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    desc.dwWidth = w;
    desc.dwHeight = h;
    IDirectDrawSurface* s = nullptr;
    dd->CreateSurface(&desc, &s, nullptr);
    return s;
  }
};

void BM_MemoryClearAndFlip(benchmark::State& state) {
  MemoryScreen screen;
  DDBLTFX fx;
  for (auto _ : state) {
    screen.back->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
    screen.prim->Flip(nullptr, 0);
  }
  state.SetBytesProcessed(state.iterations() * 1024 * 768 * 4);
}
BENCHMARK(BM_MemoryClearAndFlip);

void BM_MemoryClear(benchmark::State& state) {
  MemoryScreen screen;
  DDBLTFX fx;
  for (auto _ : state) screen.back->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
  state.SetBytesProcessed(state.iterations() * 1024 * 768 * 4);
}
BENCHMARK(BM_MemoryClear);

// The background: one whole-screen copy without a key (rows copied with memcpy).
void BM_BlitWholeScreen(benchmark::State& state) {
  MemoryScreen screen;
  IDirectDrawSurface* picture = screen.Offscreen(1024, 768);
  RECT r{0, 0, 1023, 767};
  for (auto _ : state) screen.back->BltFast(0, 0, picture, &r, DDBLTFAST_NOCOLORKEY);
  picture->Release();
  state.SetBytesProcessed(state.iterations() * 1023 * 767 * 4);
}
BENCHMARK(BM_BlitWholeScreen);

// A flame-sized keyed blit, half of its pixels transparent.
void BM_BlitKeyed(benchmark::State& state) {
  MemoryScreen screen;
  IDirectDrawSurface* flame = screen.Offscreen(256, 256);
  DDBLTFX fx;
  fx.dwFillColor = 0x00FF8000;
  flame->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx);
  for (int y = 0; y < 256; y += 2) {
    RECT row{0, y, 256, y + 1};
    fx.dwFillColor = 0;
    flame->Blt(&row, nullptr, nullptr, DDBLT_COLORFILL, &fx);
  }
  DDCOLORKEY key{0, 0};
  flame->SetColorKey(DDCKEY_SRCBLT, &key);
  for (auto _ : state) screen.back->BltFast(100, 100, flame, nullptr, DDBLTFAST_SRCCOLORKEY);
  flame->Release();
  state.SetItemsProcessed(state.iterations() * 256 * 256);
}
BENCHMARK(BM_BlitKeyed);

}  // namespace
