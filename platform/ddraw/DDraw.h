#pragma once
// Sorvanta's display interface: a display object with one full-screen flipping chain (primary +
// one back buffer) and off-screen surfaces, all 32-bit XRGB memory in one pixel format, plus an
// optional gamma control. Two backends stand behind it (SDL and in-memory), chosen in Backend.h.
#include <array>
#include <cstdint>

#include "platform/vcl/Forms.h"

namespace gdi {
struct DC;
}

namespace ddraw {

using HRESULT = std::int32_t;
using HDC = gdi::DC*;

// Result codes. Distinct values of our own; only their names matter to callers.
inline constexpr HRESULT DD_OK = 0;
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
inline constexpr HRESULT DDERR_GENERIC = static_cast<HRESULT>(0x88760001u);
inline constexpr HRESULT DDERR_UNSUPPORTED = static_cast<HRESULT>(0x88760002u);
inline constexpr HRESULT DDERR_INVALIDPARAMS = static_cast<HRESULT>(0x88760003u);
inline constexpr HRESULT DDERR_EXCEPTION = static_cast<HRESULT>(0x88760004u);
inline constexpr HRESULT DDERR_INVALIDOBJECT = static_cast<HRESULT>(0x88760005u);
inline constexpr HRESULT DDERR_INVALIDRECT = static_cast<HRESULT>(0x88760006u);
inline constexpr HRESULT DDERR_SURFACEBUSY = static_cast<HRESULT>(0x88760007u);
inline constexpr HRESULT DDERR_NOBLTHW = static_cast<HRESULT>(0x88760008u);
inline constexpr HRESULT DDERR_WASSTILLDRAWING = static_cast<HRESULT>(0x88760009u);
inline constexpr HRESULT DDERR_SURFACELOST = static_cast<HRESULT>(0x8876000Au);
inline constexpr HRESULT DDERR_OUTOFMEMORY = static_cast<HRESULT>(0x8876000Bu);
inline constexpr HRESULT DDERR_NOTFOUND = static_cast<HRESULT>(0x8876000Cu);
inline constexpr HRESULT DDERR_INVALIDMODE = static_cast<HRESULT>(0x8876000Du);
inline constexpr HRESULT DDERR_NOEXCLUSIVEMODE = static_cast<HRESULT>(0x8876000Eu);
inline constexpr HRESULT DDERR_NOTLOCKED = static_cast<HRESULT>(0x8876000Fu);
inline constexpr HRESULT DDERR_DCALREADYCREATED = static_cast<HRESULT>(0x88760010u);
inline constexpr HRESULT DDERR_WRONGMODE = static_cast<HRESULT>(0x88760011u);
inline constexpr HRESULT DDERR_NOTFLIPPABLE = static_cast<HRESULT>(0x88760012u);
inline constexpr HRESULT DDERR_NOCOLORKEY = static_cast<HRESULT>(0x88760013u);
inline constexpr HRESULT DDERR_PRIMARYSURFACEALREADYEXISTS = static_cast<HRESULT>(0x88760014u);
inline constexpr HRESULT DDERR_NOCOOPERATIVELEVELSET = static_cast<HRESULT>(0x88760015u);

struct RECT {
  std::int32_t left = 0, top = 0, right = 0, bottom = 0;
};

struct GUID {
  std::uint32_t Data1 = 0;
  std::uint16_t Data2 = 0, Data3 = 0;
  std::array<std::uint8_t, 8> Data4{};
  friend bool operator==(const GUID&, const GUID&) = default;
};
// {69C11C3E-B46B-11D1-AD7A-00C04FC29B4E}
inline constexpr GUID IID_IDirectDrawGammaControl{
    0x69C11C3E, 0xB46B, 0x11D1, {0xAD, 0x7A, 0x00, 0xC0, 0x4F, 0xC2, 0x9B, 0x4E}};

// Cooperative level.
inline constexpr std::uint32_t DDSCL_FULLSCREEN = 0x1, DDSCL_EXCLUSIVE = 0x10;
// Surface description fields and capabilities.
inline constexpr std::uint32_t DDSD_CAPS = 0x1, DDSD_HEIGHT = 0x2, DDSD_WIDTH = 0x4, DDSD_BACKBUFFERCOUNT = 0x20;
inline constexpr std::uint32_t DDSD_PITCH = 0x8, DDSD_PIXELFORMAT = 0x1000;
inline constexpr std::uint32_t DDSCAPS_FRONTBUFFER = 0x400;
inline constexpr std::uint32_t DDSCAPS_BACKBUFFER = 0x4, DDSCAPS_COMPLEX = 0x8, DDSCAPS_FLIP = 0x10,
                               DDSCAPS_OFFSCREENPLAIN = 0x40, DDSCAPS_PRIMARYSURFACE = 0x200;
// Blits.
inline constexpr std::uint32_t DDBLT_COLORFILL = 0x400, DDBLT_WAIT = 0x1000000;
inline constexpr std::uint32_t DDBLTFAST_NOCOLORKEY = 0x0, DDBLTFAST_SRCCOLORKEY = 0x1, DDBLTFAST_WAIT = 0x10;
inline constexpr std::uint32_t DDCKEY_SRCBLT = 0x8;
inline constexpr std::uint32_t DDCAPS2_PRIMARYGAMMA = 0x20000;
inline constexpr std::uint32_t DDCAPS_BLT = 0x40, DDCAPS_COLORKEY = 0x400000, DDCAPS_BLTCOLORFILL = 0x4000000;
inline constexpr std::uint32_t DDFLIP_WAIT = 0x1;
inline constexpr std::uint32_t DDENUM_ATTACHEDSECONDARYDEVICES = 0x1;

struct DDSCAPS {
  std::uint32_t dwCaps = 0;
};

struct DDPIXELFORMAT {
  std::uint32_t dwRGBBitCount = 32;
  std::uint32_t dwRBitMask = 0x00FF0000, dwGBitMask = 0x0000FF00, dwBBitMask = 0x000000FF;
};

struct DDSURFACEDESC {
  std::uint32_t dwSize = sizeof(DDSURFACEDESC);
  std::uint32_t dwFlags = 0;
  std::uint32_t dwHeight = 0, dwWidth = 0;
  std::int32_t lPitch = 0;  // bytes per row, filled by Lock
  std::uint32_t dwBackBufferCount = 0;
  void* lpSurface = nullptr;  // first pixel, filled by Lock
  DDPIXELFORMAT ddpfPixelFormat;
  DDSCAPS ddsCaps;
};

struct DDCOLORKEY {
  std::uint32_t dwColorSpaceLowValue = 0, dwColorSpaceHighValue = 0;
};

struct DDBLTFX {
  std::uint32_t dwSize = sizeof(DDBLTFX);
  std::uint32_t dwFillColor = 0;
};

struct DDCAPS {
  std::uint32_t dwSize = sizeof(DDCAPS);
  std::uint32_t dwCaps = 0, dwCaps2 = 0;
};

struct DDGAMMARAMP {
  std::array<std::uint16_t, 256> red{}, green{}, blue{};
};

class IUnknownLike {
 public:
  // Drops one reference; the object is gone when the last one is dropped.
  virtual std::uint32_t Release() = 0;
  virtual std::uint32_t AddRef() = 0;

 protected:
  virtual ~IUnknownLike() = default;
};

class IDirectDrawGammaControl : public IUnknownLike {
 public:
  virtual HRESULT GetGammaRamp(std::uint32_t flags, DDGAMMARAMP* ramp) = 0;
  virtual HRESULT SetGammaRamp(std::uint32_t flags, const DDGAMMARAMP* ramp) = 0;
};

class IDirectDrawSurface : public IUnknownLike {
 public:
  // Primary: shows the back buffer's picture and swaps the two buffers.
  virtual HRESULT Flip(IDirectDrawSurface* target, std::uint32_t flags) = 0;
  // Colour fill (DDBLT_COLORFILL with fx->dwFillColor) of the whole surface or `dst`.
  virtual HRESULT Blt(const RECT* dst, IDirectDrawSurface* src, const RECT* srcRect, std::uint32_t flags,
                      const DDBLTFX* fx) = 0;
  // Copies `srcRect` of `src` to (x, y); DDBLTFAST_SRCCOLORKEY skips pixels equal to src's key.
  // A rectangle that does not lie inside both surfaces gives DDERR_INVALIDRECT.
  virtual HRESULT BltFast(std::int32_t x, std::int32_t y, IDirectDrawSurface* src, const RECT* srcRect,
                          std::uint32_t trans) = 0;
  // DD_OK, or DDERR_SURFACELOST.
  virtual HRESULT IsLost() = 0;
  // Brings the memory back (contents undefined); for the primary, the whole chain.
  virtual HRESULT Restore() = 0;
  virtual HRESULT GetDC(HDC* dc) = 0;
  virtual HRESULT ReleaseDC(HDC dc) = 0;
  virtual HRESULT SetColorKey(std::uint32_t flags, const DDCOLORKEY* key) = 0;
  virtual HRESULT Lock(const RECT* rect, DDSURFACEDESC* desc, std::uint32_t flags, void* event) = 0;
  virtual HRESULT Unlock(void* rect) = 0;
  virtual HRESULT GetAttachedSurface(const DDSCAPS* caps, IDirectDrawSurface** out) = 0;
  virtual HRESULT QueryInterface(const GUID& iid, void** out) = 0;
  virtual HRESULT GetSurfaceDesc(DDSURFACEDESC* desc) = 0;
};

class IDirectDraw : public IUnknownLike {
 public:
  virtual HRESULT SetCooperativeLevel(vcl::HWND window, std::uint32_t flags) = 0;
  virtual HRESULT SetDisplayMode(std::uint32_t width, std::uint32_t height, std::uint32_t bpp) = 0;
  virtual HRESULT CreateSurface(const DDSURFACEDESC* desc, IDirectDrawSurface** out, void* outer) = 0;
  virtual HRESULT GetCaps(DDCAPS* driver, DDCAPS* emulation) = 0;
};

// Creates the display object on a device (none: the default display), with the backend in use.
HRESULT DirectDrawCreate(const GUID* device, IDirectDraw** out, void* outer);

// Device enumeration: the default driver first (no identifier), then each display device.
using LPDDENUMCALLBACKEXA = int (*)(GUID* guid, const char* description, const char* name, void* context,
                                    void* monitor);
using DirectDrawEnumerateExAFunc = HRESULT (*)(LPDDENUMCALLBACKEXA callback, void* context, std::uint32_t flags);

}  // namespace ddraw
