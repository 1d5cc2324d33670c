// The display object and the surfaces both backends hand out. A surface is 32-bit memory; the
// backend's Device and Chain decide where the flipping chain lives, how a flip is shown and when
// memory counts as lost.
#include <atomic>
#include <new>
#include <vector>

#include "platform/ddraw/Device.h"
#include "platform/gdi/Gdi.h"

namespace ddraw::detail {

namespace {

using memory::Op;

constexpr std::int32_t kMaxSide = 16384;
constexpr std::int64_t kMaxPixels = std::int64_t{1} << 26;  // 256 MB of pixels

class Surface;

// The primary surface's gamma control; it lives inside the surface and shares its references.
class GammaControl final : public IDirectDrawGammaControl {
 public:
  explicit GammaControl(Surface* owner) : owner_(owner) {}
  std::uint32_t AddRef() override;
  std::uint32_t Release() override;
  HRESULT GetGammaRamp(std::uint32_t flags, DDGAMMARAMP* ramp) override;
  HRESULT SetGammaRamp(std::uint32_t flags, const DDGAMMARAMP* ramp) override;

 private:
  Surface* owner_;
};

class Surface final : public IDirectDrawSurface {
 public:
  // A surface of the flipping chain.
  Surface(std::shared_ptr<Device> device, Kind kind, std::shared_ptr<Chain> chain)
      : device_(std::move(device)), kind_(kind), chain_(std::move(chain)) {
    device_->CountSurface(1);
  }
  // An off-screen surface; throws std::bad_alloc when there is no memory for it.
  Surface(std::shared_ptr<Device> device, std::int32_t width, std::int32_t height)
      : device_(std::move(device)), kind_(Kind::Offscreen) {
    memory_.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    own_ = View{memory_.data(), width, height, width};
    epoch_ = device_->OffscreenEpoch();
    device_->Undefined(own_);
    device_->CountSurface(1);
  }

  void Attach(Surface* back) { back_ = back; }

  std::uint32_t AddRef() override { return ++refs_; }
  std::uint32_t Release() override {
    const std::uint32_t left = --refs_;
    if (left == 0) delete this;
    return left;
  }

  HRESULT Flip(IDirectDrawSurface* target, std::uint32_t flags) override {
    if (HRESULT hr = device_->Check(Op::Flip, Target()); hr != DD_OK) return hr;
    if (kind_ != Kind::Primary) return DDERR_NOTFLIPPABLE;
    if ((target != nullptr && target != back_) || (flags & ~DDFLIP_WAIT) != 0) return DDERR_INVALIDPARAMS;
    if (chain_->Lost()) return DDERR_SURFACELOST;
    if (Busy() || back_->Busy()) return DDERR_SURFACEBUSY;
    return chain_->Flip();
  }

  HRESULT Blt(const RECT* dst, IDirectDrawSurface* src, const RECT* srcRect, std::uint32_t flags,
              const DDBLTFX* fx) override {
    if (HRESULT hr = device_->Check(Op::Fill, Target()); hr != DD_OK) return hr;
    if ((flags & DDBLT_COLORFILL) == 0) return DDERR_UNSUPPORTED;  // only colour fills are offered
    if ((flags & ~(DDBLT_COLORFILL | DDBLT_WAIT)) != 0 || src != nullptr || srcRect != nullptr ||
        fx == nullptr || fx->dwSize != sizeof(DDBLTFX))
      return DDERR_INVALIDPARAMS;
    if (Lost()) return DDERR_SURFACELOST;
    if (Busy()) return DDERR_SURFACEBUSY;
    const View here = Pixels();
    const RECT r = dst ? *dst : Whole(here);
    if (!Inside(r, here.width, here.height)) return DDERR_INVALIDRECT;
    View view;
    if (HRESULT hr = BeginWrite(&view); hr != DD_OK) return hr;
    detail::Fill(view, r, fx->dwFillColor);
    EndWrite();
    return DD_OK;
  }

  HRESULT BltFast(std::int32_t x, std::int32_t y, IDirectDrawSurface* src, const RECT* srcRect,
                  std::uint32_t trans) override {
    if (HRESULT hr = device_->Check(Op::BltFast, Target()); hr != DD_OK) return hr;
    if (src == nullptr || (trans & ~(DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT)) != 0) return DDERR_INVALIDPARAMS;
    auto* source = dynamic_cast<Surface*>(src);
    if (source == nullptr) return DDERR_INVALIDOBJECT;
    if (Lost() || source->Lost()) return DDERR_SURFACELOST;
    if (Busy() || source->Busy()) return DDERR_SURFACEBUSY;
    const bool keyed = (trans & DDBLTFAST_SRCCOLORKEY) != 0;
    if (keyed && !source->hasKey_) return DDERR_NOCOLORKEY;
    // Read the source before a copy-on-write of our own memory, so a blit within the primary sees
    // the picture it started from.
    const View from = source->Pixels();
    const RECT r = srcRect ? *srcRect : Whole(from);
    RECT to;
    if (!Inside(r, from.width, from.height) || !Moved(r, x, y, &to)) return DDERR_INVALIDRECT;
    const View here = Pixels();
    if (!Inside(to, here.width, here.height)) return DDERR_INVALIDRECT;
    View view;
    if (HRESULT hr = BeginWrite(&view); hr != DD_OK) return hr;
    const View read = source == this ? view : from;
    if (keyed)
      CopyKeyed(view, x, y, read, r, source->key_);
    else
      Copy(view, x, y, read, r);
    EndWrite();
    return DD_OK;
  }

  HRESULT IsLost() override {
    if (HRESULT hr = device_->Check(Op::IsLost, Target()); hr != DD_OK) return hr;
    return Lost() ? DDERR_SURFACELOST : DD_OK;
  }

  HRESULT Restore() override {
    if (HRESULT hr = device_->Check(Op::Restore, Target()); hr != DD_OK) return hr;
    if (Busy()) return DDERR_SURFACEBUSY;
    if (kind_ != Kind::Offscreen) return chain_->Restore();
    const std::uint64_t now = device_->OffscreenEpoch();
    if (epoch_.exchange(now) != now) device_->Undefined(own_);
    return DD_OK;
  }

  HRESULT GetDC(HDC* dc) override {
    if (HRESULT hr = device_->Check(Op::GetDC, Target()); hr != DD_OK) return hr;
    if (dc == nullptr) return DDERR_INVALIDPARAMS;
    *dc = nullptr;
    if (Lost()) return DDERR_SURFACELOST;
    if (dcOut_) return DDERR_DCALREADYCREATED;
    if (locked_) return DDERR_SURFACEBUSY;
    View view;
    if (HRESULT hr = BeginWrite(&view); hr != DD_OK) return hr;
    dc_ = gdi::DC{};
    dc_.bits = gdi::Bits{view.pixels, view.width, view.height, view.pitch};
    dcOut_ = true;
    *dc = &dc_;
    return DD_OK;
  }

  HRESULT ReleaseDC(HDC dc) override {
    if (!dcOut_ || dc != &dc_) return DDERR_INVALIDPARAMS;
    dcOut_ = false;
    dc_.bits = gdi::Bits{};
    EndWrite();
    return DD_OK;
  }

  HRESULT SetColorKey(std::uint32_t flags, const DDCOLORKEY* key) override {
    if (HRESULT hr = device_->Check(Op::SetColorKey, Target()); hr != DD_OK) return hr;
    if (flags != DDCKEY_SRCBLT) return DDERR_UNSUPPORTED;  // source keys only
    if (key == nullptr) {
      hasKey_ = false;
      return DD_OK;
    }
    if (key->dwColorSpaceLowValue != key->dwColorSpaceHighValue) return DDERR_UNSUPPORTED;  // one value only
    key_ = key->dwColorSpaceLowValue;
    hasKey_ = true;
    return DD_OK;
  }

  HRESULT Lock(const RECT* rect, DDSURFACEDESC* desc, std::uint32_t /*flags*/, void* event) override {
    if (HRESULT hr = device_->Check(Op::Lock, Target()); hr != DD_OK) return hr;
    if (desc == nullptr || desc->dwSize != sizeof(DDSURFACEDESC) || event != nullptr) return DDERR_INVALIDPARAMS;
    if (Lost()) return DDERR_SURFACELOST;
    if (locked_ || dcOut_) return DDERR_SURFACEBUSY;
    const View here = Pixels();
    const RECT r = rect ? *rect : Whole(here);
    if (!Inside(r, here.width, here.height)) return DDERR_INVALIDRECT;
    View view;
    if (HRESULT hr = BeginWrite(&view); hr != DD_OK) return hr;
    Describe(desc, view);
    desc->lpSurface = view.Row(r.top) + r.left;
    locked_ = true;
    return DD_OK;
  }

  HRESULT Unlock(void* /*rect*/) override {
    if (!locked_) return DDERR_NOTLOCKED;
    locked_ = false;
    EndWrite();
    return DD_OK;
  }

  HRESULT GetAttachedSurface(const DDSCAPS* caps, IDirectDrawSurface** out) override {
    if (HRESULT hr = device_->Check(Op::GetAttachedSurface, Target()); hr != DD_OK) return hr;
    if (caps == nullptr || out == nullptr) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (kind_ != Kind::Primary || (caps->dwCaps & DDSCAPS_BACKBUFFER) == 0) return DDERR_NOTFOUND;
    back_->AddRef();
    *out = back_;
    return DD_OK;
  }

  HRESULT QueryInterface(const GUID& iid, void** out) override {
    if (out == nullptr) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (!(iid == IID_IDirectDrawGammaControl)) return E_NOINTERFACE;
    if (HRESULT hr = device_->Check(Op::QueryGamma, Target()); hr != DD_OK) return hr;
    if (kind_ != Kind::Primary || !device_->GammaAvailable()) return E_NOINTERFACE;
    AddRef();
    *out = static_cast<IDirectDrawGammaControl*>(&gamma_);
    return DD_OK;
  }

  HRESULT GetSurfaceDesc(DDSURFACEDESC* desc) override {
    if (desc == nullptr || desc->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
    Describe(desc, Pixels());
    return DD_OK;
  }

  Device& GetDevice() { return *device_; }
  unsigned Target() const { return TargetOf(kind_); }

 private:
  ~Surface() override {
    if (back_) back_->Release();
    device_->CountSurface(-1);
  }

  bool Busy() const { return locked_ || dcOut_; }
  bool Lost() { return kind_ == Kind::Offscreen ? epoch_ != device_->OffscreenEpoch() : chain_->Lost(); }

  View Pixels() {
    switch (kind_) {
      case Kind::Primary: return chain_->Front();
      case Kind::Back: return chain_->Back();
      case Kind::Offscreen: break;
    }
    return own_;
  }
  HRESULT BeginWrite(View* view) {
    if (kind_ == Kind::Primary) return chain_->BeginFrontWrite(view);
    *view = Pixels();
    return DD_OK;
  }
  void EndWrite() {
    if (kind_ == Kind::Primary) chain_->EndFrontWrite();
  }

  void Describe(DDSURFACEDESC* desc, const View& view) const {
    desc->dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT;
    desc->dwWidth = static_cast<std::uint32_t>(view.width);
    desc->dwHeight = static_cast<std::uint32_t>(view.height);
    desc->lPitch = view.pitch * static_cast<std::int32_t>(sizeof(std::uint32_t));
    desc->ddpfPixelFormat = DDPIXELFORMAT{};
    desc->dwBackBufferCount = 0;
    switch (kind_) {
      case Kind::Primary:
        desc->dwFlags |= DDSD_BACKBUFFERCOUNT;
        desc->dwBackBufferCount = 1;
        desc->ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FRONTBUFFER | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
        break;
      case Kind::Back: desc->ddsCaps.dwCaps = DDSCAPS_BACKBUFFER | DDSCAPS_FLIP | DDSCAPS_COMPLEX; break;
      case Kind::Offscreen: desc->ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN; break;
    }
  }

  std::atomic<std::uint32_t> refs_{1};
  std::shared_ptr<Device> device_;
  Kind kind_;
  std::shared_ptr<Chain> chain_;
  Surface* back_ = nullptr;  // the primary's back buffer, one reference held
  std::vector<std::uint32_t> memory_;
  View own_;
  std::atomic<std::uint64_t> epoch_{0};  // off-screen: the loss epoch last restored in
  bool hasKey_ = false;
  std::uint32_t key_ = 0;
  bool locked_ = false, dcOut_ = false;
  gdi::DC dc_;
  GammaControl gamma_{this};
};

std::uint32_t GammaControl::AddRef() { return owner_->AddRef(); }
std::uint32_t GammaControl::Release() { return owner_->Release(); }

HRESULT GammaControl::GetGammaRamp(std::uint32_t /*flags*/, DDGAMMARAMP* ramp) {
  if (HRESULT hr = owner_->GetDevice().Check(Op::GetGammaRamp, owner_->Target()); hr != DD_OK) return hr;
  if (ramp == nullptr) return DDERR_INVALIDPARAMS;
  return owner_->GetDevice().GetGammaRamp(ramp);
}

HRESULT GammaControl::SetGammaRamp(std::uint32_t /*flags*/, const DDGAMMARAMP* ramp) {
  if (HRESULT hr = owner_->GetDevice().Check(Op::SetGammaRamp, owner_->Target()); hr != DD_OK) return hr;
  if (ramp == nullptr) return DDERR_INVALIDPARAMS;
  return owner_->GetDevice().SetGammaRamp(*ramp);
}

class Display final : public IDirectDraw {
 public:
  explicit Display(std::shared_ptr<Device> device) : device_(std::move(device)) {}

  std::uint32_t AddRef() override { return ++refs_; }
  std::uint32_t Release() override {
    const std::uint32_t left = --refs_;
    if (left == 0) delete this;
    return left;
  }

  HRESULT SetCooperativeLevel(vcl::HWND window, std::uint32_t flags) override {
    if (HRESULT hr = device_->Check(Op::CooperativeLevel, memory::kAnySurface); hr != DD_OK) return hr;
    if (flags != (DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN)) return DDERR_INVALIDPARAMS;  // full screen only
    if (HRESULT hr = device_->SetCooperativeLevel(window, flags); hr != DD_OK) return hr;
    exclusive_ = true;
    return DD_OK;
  }

  HRESULT SetDisplayMode(std::uint32_t width, std::uint32_t height, std::uint32_t bpp) override {
    if (HRESULT hr = device_->Check(Op::DisplayMode, memory::kAnySurface); hr != DD_OK) return hr;
    if (!exclusive_) return DDERR_NOEXCLUSIVEMODE;
    // Every depth is served by 32-bit memory: the picture is composed at 32 bits and shown as such.
    if (bpp != 16 && bpp != 24 && bpp != 32) return DDERR_INVALIDMODE;
    if (width == 0 || height == 0 || width > 8192 || height > 8192) return DDERR_INVALIDMODE;
    if (!chain_.expired()) return DDERR_SURFACEBUSY;  // the chain has the old mode's size
    if (HRESULT hr = device_->SetDisplayMode(width, height, bpp); hr != DD_OK) return hr;
    width_ = static_cast<std::int32_t>(width);
    height_ = static_cast<std::int32_t>(height);
    return DD_OK;
  }

  HRESULT CreateSurface(const DDSURFACEDESC* desc, IDirectDrawSurface** out, void* outer) override {
    if (out == nullptr) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (desc == nullptr || desc->dwSize != sizeof(DDSURFACEDESC) || outer != nullptr) return DDERR_INVALIDPARAMS;
    const std::uint32_t caps = (desc->dwFlags & DDSD_CAPS) ? desc->ddsCaps.dwCaps : 0;
    if (caps & DDSCAPS_PRIMARYSURFACE) return CreatePrimary(*desc, caps, out);
    return CreateOffscreen(*desc, caps, out);
  }

  HRESULT GetCaps(DDCAPS* driver, DDCAPS* emulation) override {
    if (HRESULT hr = device_->Check(Op::GetCaps, memory::kAnySurface); hr != DD_OK) return hr;
    if ((driver == nullptr && emulation == nullptr) || (driver && driver->dwSize != sizeof(DDCAPS)) ||
        (emulation && emulation->dwSize != sizeof(DDCAPS)))
      return DDERR_INVALIDPARAMS;
    const std::uint32_t caps = DDCAPS_BLT | DDCAPS_BLTCOLORFILL | DDCAPS_COLORKEY;
    const std::uint32_t caps2 = device_->GammaAvailable() ? DDCAPS2_PRIMARYGAMMA : 0;
    for (DDCAPS* record : {driver, emulation}) {
      if (!record) continue;
      record->dwCaps = caps;
      record->dwCaps2 = caps2;
    }
    return DD_OK;
  }

 private:
  ~Display() override { device_->Close(); }

  HRESULT CreatePrimary(const DDSURFACEDESC& desc, std::uint32_t caps, IDirectDrawSurface** out) {
    if (HRESULT hr = device_->Check(Op::CreatePrimary, memory::kPrimary); hr != DD_OK) return hr;
    if (!exclusive_) return DDERR_NOCOOPERATIVELEVELSET;
    if (width_ == 0) return DDERR_INVALIDMODE;
    if ((caps & (DDSCAPS_FLIP | DDSCAPS_COMPLEX)) != (DDSCAPS_FLIP | DDSCAPS_COMPLEX) ||
        (desc.dwFlags & DDSD_BACKBUFFERCOUNT) == 0)
      return DDERR_UNSUPPORTED;  // only the flipping chain is offered
    if (desc.dwBackBufferCount != 1 || (desc.dwFlags & (DDSD_WIDTH | DDSD_HEIGHT)) != 0) return DDERR_INVALIDPARAMS;
    if (!chain_.expired()) return DDERR_PRIMARYSURFACEALREADYEXISTS;
    std::shared_ptr<Chain> chain;
    if (HRESULT hr = device_->CreateChain(width_, height_, &chain); hr != DD_OK) return hr;
    Surface* primary = nullptr;
    Surface* back = nullptr;
    try {
      primary = new Surface(device_, Kind::Primary, chain);
      back = new Surface(device_, Kind::Back, chain);
    } catch (const std::bad_alloc&) {
      if (primary) primary->Release();
      return DDERR_OUTOFMEMORY;
    }
    primary->Attach(back);
    chain_ = chain;
    *out = primary;
    return DD_OK;
  }

  HRESULT CreateOffscreen(const DDSURFACEDESC& desc, std::uint32_t caps, IDirectDrawSurface** out) {
    if (HRESULT hr = device_->Check(Op::CreateOffscreen, memory::kOffscreen); hr != DD_OK) return hr;
    if ((caps & ~DDSCAPS_OFFSCREENPLAIN) != 0) return DDERR_INVALIDPARAMS;
    if ((desc.dwFlags & (DDSD_WIDTH | DDSD_HEIGHT)) != (DDSD_WIDTH | DDSD_HEIGHT)) return DDERR_INVALIDPARAMS;
    if (desc.dwWidth == 0 || desc.dwHeight == 0 || desc.dwWidth > kMaxSide || desc.dwHeight > kMaxSide ||
        static_cast<std::int64_t>(desc.dwWidth) * desc.dwHeight > kMaxPixels)
      return DDERR_INVALIDPARAMS;
    try {
      *out = new Surface(device_, static_cast<std::int32_t>(desc.dwWidth), static_cast<std::int32_t>(desc.dwHeight));
    } catch (const std::bad_alloc&) {
      return DDERR_OUTOFMEMORY;
    }
    return DD_OK;
  }

  std::atomic<std::uint32_t> refs_{1};
  std::shared_ptr<Device> device_;
  bool exclusive_ = false;
  std::int32_t width_ = 0, height_ = 0;
  std::weak_ptr<Chain> chain_;
};

}  // namespace

IDirectDraw* NewDisplay(std::shared_ptr<Device> device) { return new Display(std::move(device)); }

GUID DeviceGuid(int index) {
  GUID g{0x534F5256u, static_cast<std::uint16_t>(index), 0x4444, {'S', 'o', 'r', 'v', 'a', 'n', 't', 'a'}};
  return g;
}

int DeviceIndex(const GUID& guid) {
  GUID probe = DeviceGuid(guid.Data2);
  return probe == guid ? guid.Data2 : -1;
}

}  // namespace ddraw::detail
