// The SDL display: one full-screen window on the desktop. Surfaces are memory; the flipping chain's
// buffers belong to the window's presenter, which shows each flipped frame on the main thread.
#include <SDL.h>

#include <atomic>
#include <string>

#include "platform/ddraw/Device.h"
#include "platform/sdl/Presenter.h"
#include "platform/sdl/Video.h"
#include "platform/sdl/Window.h"

namespace ddraw::detail {

namespace {

class SdlChain final : public Chain {
 public:
  explicit SdlChain(std::shared_ptr<sdl::Presenter> presenter)
      : presenter_(std::move(presenter)), epoch_(presenter_->LossEpoch()) {}

  View Front() override { return ViewOf(presenter_->Front()); }
  View Back() override { return ViewOf(presenter_->Back()); }

  HRESULT Flip() override {
    switch (presenter_->Flip()) {
      case sdl::Presenter::FlipResult::Done: return DD_OK;
      case sdl::Presenter::FlipResult::Busy: return DDERR_WASSTILLDRAWING;
      case sdl::Presenter::FlipResult::Closed: break;
    }
    return DDERR_SURFACELOST;
  }

  bool Lost() override { return presenter_->Closed() || epoch_ != presenter_->LossEpoch(); }

  HRESULT Restore() override {
    if (presenter_->Closed()) return DDERR_NOEXCLUSIVEMODE;
    if (presenter_->Minimized()) return DDERR_WRONGMODE;  // nothing to show on until the window is back
    epoch_ = presenter_->LossEpoch();
    return DD_OK;
  }

  HRESULT BeginFrontWrite(View* view) override {
    std::uint32_t* p = presenter_->BeginFrontWrite();
    if (!p) return presenter_->Closed() ? DDERR_SURFACELOST : DDERR_WASSTILLDRAWING;
    *view = ViewOf(p);
    return DD_OK;
  }
  void EndFrontWrite() override { presenter_->EndFrontWrite(); }

 private:
  View ViewOf(std::uint32_t* p) const {
    return View{p, presenter_->Width(), presenter_->Height(), presenter_->Width()};
  }

  std::shared_ptr<sdl::Presenter> presenter_;
  std::atomic<std::uint64_t> epoch_;  // read by IsLost on any thread, written by Restore
};

class SdlDevice final : public Device {
 public:
  explicit SdlDevice(int display) : display_(display) {
    for (int i = 0; i < 256; ++i) ramp_.red[i] = ramp_.green[i] = ramp_.blue[i] = static_cast<std::uint16_t>(i * 257);
  }
  ~SdlDevice() override { Close(); }

  HRESULT SetCooperativeLevel(vcl::HWND window, std::uint32_t /*flags*/) override {
    sdl::Window* w = sdl::Window::From(window);
    if (!w) return DDERR_INVALIDPARAMS;  // only a form's SDL window can go full screen
    if (presenter_ && w->Attached() == presenter_.get()) return DD_OK;
    if (w->Attached()) return DDERR_NOEXCLUSIVEMODE;  // another display has this window
    if (presenter_) presenter_->Close();
    presenter_ = sdl::Presenter::Open(*w, display_);
    if (!presenter_) return DDERR_GENERIC;
    presenter_->SetGamma(ramp_);
    return DD_OK;
  }

  HRESULT SetDisplayMode(std::uint32_t width, std::uint32_t height, std::uint32_t /*bpp*/) override {
    if (!presenter_ || presenter_->Closed()) return DDERR_NOEXCLUSIVEMODE;
    return presenter_->SetMode(static_cast<std::int32_t>(width), static_cast<std::int32_t>(height))
               ? DD_OK
               : DDERR_OUTOFMEMORY;
  }

  HRESULT CreateChain(std::int32_t width, std::int32_t height, std::shared_ptr<Chain>* out) override {
    if (!presenter_ || presenter_->Closed()) return DDERR_NOEXCLUSIVEMODE;
    if (presenter_->Width() != width || presenter_->Height() != height) return DDERR_INVALIDMODE;
    *out = std::make_shared<SdlChain>(presenter_);
    return DD_OK;
  }

  // The ramp is applied as frames are shown, so it is always there and never touches the desktop.
  bool GammaAvailable() override { return true; }
  HRESULT GetGammaRamp(DDGAMMARAMP* ramp) override {
    *ramp = ramp_;
    return DD_OK;
  }
  HRESULT SetGammaRamp(const DDGAMMARAMP& ramp) override {
    ramp_ = ramp;
    if (presenter_) presenter_->SetGamma(ramp);
    return DD_OK;
  }

  void Undefined(const View& view) override { Fill(view, Whole(view), 0); }

  void Close() override {
    if (presenter_) presenter_->Close();
    presenter_.reset();
  }

 private:
  int display_;
  std::shared_ptr<sdl::Presenter> presenter_;
  DDGAMMARAMP ramp_;
};

}  // namespace

HRESULT CreateSdlDevice(const GUID* device, std::shared_ptr<Device>* out) {
  if (!sdl::EnsureVideo()) return DDERR_GENERIC;
  int display = -1;
  if (device != nullptr) {
    display = DeviceIndex(*device);
    if (display < 0 || display >= SDL_GetNumVideoDisplays()) return DDERR_INVALIDPARAMS;
  }
  *out = std::make_shared<SdlDevice>(display);
  return DD_OK;
}

HRESULT SdlEnumerate(LPDDENUMCALLBACKEXA callback, void* context, std::uint32_t /*flags*/) {
  if (callback == nullptr) return DDERR_INVALIDPARAMS;
  char description[] = "Primary Display Driver";
  char name[] = "display";
  if (callback(nullptr, description, name, context, nullptr) == 0) return DD_OK;
  const int displays = sdl::EnsureVideo() ? SDL_GetNumVideoDisplays() : 0;
  for (int i = 0; i < displays; ++i) {
    GUID guid = DeviceGuid(i);
    const char* label = SDL_GetDisplayName(i);
    const std::string desc = label ? label : "Display " + std::to_string(i + 1);
    const std::string id = "display" + std::to_string(i + 1);
    void* monitor = reinterpret_cast<void*>(static_cast<std::uintptr_t>(i + 1));
    if (callback(&guid, desc.c_str(), id.c_str(), context, monitor) == 0) break;
  }
  return DD_OK;
}

int SdlMonitorCount() {
  if (!sdl::EnsureVideo()) return 0;
  const int n = SDL_GetNumVideoDisplays();
  return n > 0 ? n : 0;
}

}  // namespace ddraw::detail
