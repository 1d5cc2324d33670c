#include "sprites/Cut.h"

#include "platform/vcl/Graphics.h"

namespace sprites {

Span CutSpan(std::int32_t pos, std::int32_t length, std::int32_t limit) {
  // Sums in 64 bits: a position near the 32-bit limit must not wrap into view.
  const std::int64_t x = pos, w = length, W = limit;
  if (x > 0 && x + w < W) return {true, 0, length, pos};
  if (x > W - 2) return {};
  if (x + w > W - 1) {
    // The far side is cut; a picture that also starts before the near edge is cut there too.
    const std::int64_t first = x < 0 ? -x : 0, end = W - 1 - x;
    if (first >= end) return {};
    return {true, static_cast<std::int32_t>(first), static_cast<std::int32_t>(end), x < 0 ? 0 : pos};
  }
  if (x + w < 2) return {};
  return {true, static_cast<std::int32_t>(-x), length, 0};
}

CutBlit BlitCut(ddraw::IDirectDrawSurface* back, ddraw::IDirectDrawSurface* source, std::int32_t x,
                std::int32_t y, const ddraw::RECT& extent, std::uint32_t flags, std::int32_t width,
                std::int32_t height) {
  const Span h = CutSpan(x, extent.right - extent.left, width);
  if (!h.Draw) return {};
  const Span v = CutSpan(y, extent.bottom - extent.top, height);
  if (!v.Draw) return {};
  // A frame that has no surface is refused as the display refuses a blit from nothing.
  if (!source) return {true, ddraw::DDERR_INVALIDPARAMS};
  const ddraw::RECT rect{extent.left + h.First, extent.top + v.First, extent.left + h.End, extent.top + v.End};
  ddraw::HRESULT result = back->BltFast(h.Dest, v.Dest, source, &rect, flags);
  for (int i = 0; result == ddraw::DDERR_WASSTILLDRAWING && i < kStillDrawingRetries; ++i)
    result = back->BltFast(h.Dest, v.Dest, source, &rect, flags);
  return {true, result};
}

const char* BltErrorName(ddraw::HRESULT code) {
  switch (code) {
    case ddraw::DDERR_UNSUPPORTED: return "DDERR_UNSUPPORTED";
    case ddraw::DDERR_GENERIC: return "DDERR_GENERIC";
    case ddraw::DDERR_INVALIDPARAMS: return "DERR_INVALIDPARAMS";
    case ddraw::DDERR_EXCEPTION: return "DDERR_EXCEPTION";
    case ddraw::DDERR_INVALIDOBJECT: return "DDERR_INVALIDOBJECT";
    case ddraw::DDERR_INVALIDRECT: return "DDERR_INVALIDRECT";
    case ddraw::DDERR_SURFACEBUSY: return "DDERR_SURFACEBUSY";
    case ddraw::DDERR_NOBLTHW: return "DDERR_NOBLTHW";
    default: return "";
  }
}

bool SurfaceSizeAllowed(std::int32_t width, std::int32_t height) { return vcl::PictureSizeAllowed(width, height); }

ddraw::DDSURFACEDESC OffscreenDesc(std::int32_t width, std::int32_t height) {
  ddraw::DDSURFACEDESC desc{};
  desc.dwFlags = ddraw::DDSD_CAPS | ddraw::DDSD_HEIGHT | ddraw::DDSD_WIDTH;
  desc.ddsCaps.dwCaps = ddraw::DDSCAPS_OFFSCREENPLAIN;
  desc.dwWidth = static_cast<std::uint32_t>(width);
  desc.dwHeight = static_cast<std::uint32_t>(height);
  return desc;
}

}  // namespace sprites
