// Showing one frame on the SDL display (run under an X server, e.g. Xvfb): a frame that changed
// everywhere, one that changed in a small block, and a whole frame through a gamma table. On a
// 1024 x 768 screen without a graphics card (xvfb-run -s "-screen 0 1024x768x24") the picture goes
// one to one into the window's own pixels; on any other size it is scaled by the renderer.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

#include "platform/ddraw/Backend.h"
#include "platform/sdl/Presenter.h"
#include "platform/sdl/Video.h"

namespace {

using namespace ddraw;

struct SdlScreen {
  std::unique_ptr<vcl::TForm> form;
  IDirectDraw* dd = nullptr;
  IDirectDrawSurface* prim = nullptr;
  IDirectDrawSurface* back = nullptr;
  bool ok = false;

  SdlScreen() {
    if (!std::getenv("DISPLAY") || !sdl::InstallWindowSystem()) return;
    form = std::make_unique<vcl::TForm>(nullptr);
    form->SetBorderStyle(vcl::TBorderStyle::bsNone);
    form->Show();
    UseBackend(BackendKind::Sdl);
    if (DirectDrawCreate(nullptr, &dd, nullptr) != DD_OK) return;
    if (dd->SetCooperativeLevel(form->Handle(), DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN) != DD_OK) return;
    if (dd->SetDisplayMode(1024, 768, 32) != DD_OK) return;
    DDSURFACEDESC desc;
    desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    desc.dwBackBufferCount = 1;
    if (dd->CreateSurface(&desc, &prim, nullptr) != DD_OK) return;
    DDSCAPS caps{DDSCAPS_BACKBUFFER};
    if (prim->GetAttachedSurface(&caps, &back) != DD_OK) return;
    // Let the window settle into full screen before anything is timed.
    for (int i = 0; i < 20; ++i) vcl::Application().ProcessMessages();
    ok = true;
  }
  ~SdlScreen() {
    if (back) back->Release();
    if (prim) prim->Release();
    if (dd) dd->Release();
  }
  void Fill(std::uint32_t colour, const RECT* r = nullptr) {
    DDBLTFX fx;
    fx.dwFillColor = colour;
    back->Blt(r, nullptr, nullptr, DDBLT_COLORFILL, &fx);
  }
  // Draws the frame (untimed), flips it and shows it.
  void Frame(benchmark::State& state, std::uint32_t colour, const RECT* block) {
    state.PauseTiming();
    Fill(0x00102030);
    if (block) {
      Fill(colour, block);
    } else {
      Fill(colour);
    }
    state.ResumeTiming();
    prim->Flip(nullptr, 0);
    sdl::Presenter::PresentAll();
  }
};

SdlScreen* Screen() {
  static SdlScreen screen;
  return screen.ok ? &screen : nullptr;
}

void SetRamp(int step) {
  IDirectDrawGammaControl* gamma = nullptr;
  Screen()->prim->QueryInterface(IID_IDirectDrawGammaControl, reinterpret_cast<void**>(&gamma));
  DDGAMMARAMP ramp;
  for (int i = 0; i < 256; ++i) ramp.red[i] = ramp.green[i] = ramp.blue[i] = static_cast<std::uint16_t>(i * step);
  gamma->SetGammaRamp(0, &ramp);
  gamma->Release();
  sdl::Presenter::PresentAll();
}

void BM_PresentFullChange(benchmark::State& state) {
  SdlScreen* s = Screen();
  if (!s) return state.SkipWithError("no X display");
  SetRamp(static_cast<int>(state.range(0)));
  std::uint32_t colour = 0;
  for (auto _ : state) s->Frame(state, (colour += 0x010101) & 0x00FFFFFF, nullptr);
  SetRamp(257);
}
BENCHMARK(BM_PresentFullChange)->Arg(257)->Arg(128)->ArgName("ramp")->Unit(benchmark::kMillisecond);

void BM_PresentSmallChange(benchmark::State& state) {
  SdlScreen* s = Screen();
  if (!s) return state.SkipWithError("no X display");
  RECT block{600, 700, 800, 730};  // a clock-sized block in the bar
  std::uint32_t colour = 0;
  for (auto _ : state) s->Frame(state, (colour += 0x010101) & 0x00FFFFFF, &block);
}
BENCHMARK(BM_PresentSmallChange)->Unit(benchmark::kMillisecond);

}  // namespace
