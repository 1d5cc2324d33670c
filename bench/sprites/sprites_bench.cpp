// What a sprite costs: one frame's blit (full screen, and a keyed flame frame), the set-up of a
// 56-frame JPEG strip, and plain memcpy of the same bytes as the memory-bandwidth bound.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "assets/Assets.h"
#include "engine/Kss.h"
#include "platform/ddraw/Backend.h"
#include "platform/ddraw/Memory.h"
#include "platform/vcl/Graphics.h"
#include "sprites/KIM.h"
#include "sprites/KMV.h"

namespace {

using namespace ddraw;

// An engine with an open 1024 × 768 in-memory display.
struct Display {
  Display() {
    UseBackend(BackendKind::Memory);
    memory::Control().Reset();
    engine = new engine::TKss(&owner);
    engine->SetWidthScreen(1024);
    engine->SetHeightScreen(768);
    DirectDrawCreate(nullptr, &engine->FDD, nullptr);
    engine->FDD->SetCooperativeLevel(nullptr, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN);
    engine->FDD->SetDisplayMode(1024, 768, 32);
    DDSURFACEDESC desc{};
    desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    desc.dwBackBufferCount = 1;
    engine->FDD->CreateSurface(&desc, &engine->FDDPRIM, nullptr);
    DDSCAPS caps{DDSCAPS_BACKBUFFER};
    engine->FDDPRIM->GetAttachedSurface(&caps, &engine->FDDBACK);
  }
  ~Display() {
    while (owner.ComponentCount() > 1) delete owner.Components(owner.ComponentCount() - 1);
    engine->FDDBACK->Release();
    engine->FDDPRIM->Release();
    engine->FDD->Release();
    engine->FDD = nullptr;
    engine->FDDPRIM = nullptr;
    engine->FDDBACK = nullptr;
  }
  vcl::TComponent owner{nullptr};
  engine::TKss* engine = nullptr;
};

vcl::TBitmap Noise(std::int32_t width, std::int32_t height) {
  std::vector<std::uint32_t> px(static_cast<std::size_t>(width) * height);
  std::uint32_t state = 12345;
  for (auto& p : px) {
    state = state * 1664525u + 1013904223u;
    p = (state >> 8) & 0xFFFFFF;
  }
  vcl::TBitmap b;
  b.SetPixels(width, height, std::move(px));
  return b;
}

void BM_BlitBackground1024x768(benchmark::State& state) {
  Display d;
  auto* kim = new sprites::TKIM(&d.owner);
  kim->SetParent(d.engine);
  vcl::TBitmap picture = Noise(1024, 768);
  kim->Picture()->SetGraphic(&picture);
  kim->CreateDXImage();
  for (auto _ : state) kim->DrawImage();
  if (!kim->ErrorResult().empty()) state.SkipWithError(kim->ErrorResult().c_str());
  state.SetBytesProcessed(state.iterations() * 1023 * 767 * 4);
}
BENCHMARK(BM_BlitBackground1024x768);

void BM_BlitKeyedFlame182x397(benchmark::State& state) {
  Display d;
  auto* kmv = new sprites::TKMV(&d.owner);
  kmv->SetParent(d.engine);
  vcl::TBitmap strip = Noise(182, 397 * 4);
  kmv->Picture()->SetGraphic(&strip);
  kmv->SetShowX(418);
  kmv->SetShowY(252);
  kmv->SetYOffsetFrame(397);
  kmv->CreateDXMovie();
  kmv->SetTransparency(true);
  std::int32_t n = 0;
  for (auto _ : state) {
    kmv->SetNumberFrame(n);
    kmv->DrawMovie();
    n = (n + 1) & 3;
  }
  if (!kmv->ErrorResult().empty()) state.SkipWithError(kmv->ErrorResult().c_str());
  state.SetBytesProcessed(state.iterations() * 182 * 397 * 4);
}
BENCHMARK(BM_BlitKeyedFlame182x397);

// Set-up of the largest flame as the scene does it: decode, copy into the DIB, cut 56 frames.
void BM_SetupJpegStrip182x22232(benchmark::State& state) {
  Display d;
  const auto data = assets::Find("KMV2flame1");
  if (data.empty()) {
    state.SkipWithError("KMV2flame1 is not built in");
    return;
  }
  for (auto _ : state) {
    auto* kmv = new sprites::TKMV(&d.owner);
    kmv->SetParent(d.engine);
    kmv->Picture()->LoadFromData(data, "KMV2flame1");
    kmv->SetYOffsetFrame(397);
    vcl::TJPEGImage jpeg;
    jpeg.Assign(*static_cast<const vcl::TJPEGImage*>(kmv->Picture()->Graphic()));
    jpeg.DIBNeeded();
    kmv->SetFDibBitmap(&jpeg.Bitmap());
    kmv->CreateDXMovie();
    if (kmv->CountFrame() != 56 || !kmv->ErrorResult().empty()) state.SkipWithError("strip not cut");
    delete kmv;
  }
  state.SetItemsProcessed(state.iterations() * 56);
}
BENCHMARK(BM_SetupJpegStrip182x22232)->Unit(benchmark::kMillisecond);

// The decode alone, for comparison with the whole set-up.
void BM_DecodeJpegStrip182x22232(benchmark::State& state) {
  const auto data = assets::Find("KMV2flame1");
  if (data.empty()) {
    state.SkipWithError("KMV2flame1 is not built in");
    return;
  }
  for (auto _ : state) {
    vcl::TJPEGImage jpeg;
    jpeg.LoadFromData(data, "KMV2flame1");
    benchmark::DoNotOptimize(jpeg.Pixels().Data);
  }
}
BENCHMARK(BM_DecodeJpegStrip182x22232)->Unit(benchmark::kMillisecond);

// The bound: the same bytes copied with memcpy, row by row as a blit copies them.
void BM_MemcpyRows(benchmark::State& state) {
  const auto width = static_cast<std::size_t>(state.range(0)), height = static_cast<std::size_t>(state.range(1));
  std::vector<std::uint32_t> src(1024 * 768, 0x123456), dst(1024 * 768);
  for (auto _ : state) {
    for (std::size_t y = 0; y < height; ++y) std::memcpy(&dst[y * 1024], &src[y * 1024], width * 4);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * width * height * 4));
}
BENCHMARK(BM_MemcpyRows)->Args({1023, 767})->Args({182, 397});

}  // namespace
