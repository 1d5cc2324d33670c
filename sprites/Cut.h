#pragma once
// What the still-image and film-strip sprites share: the design-space scaling, the edge cut of a
// picture placed on the back surface, the blit of what is left, and the names of the blit's codes.
#include <cstdint>

#include "platform/ddraw/DDraw.h"

namespace sprites {

// The scene is laid out in a 1024 × 768 design space.
inline constexpr std::int32_t kDesignWidth = 1024, kDesignHeight = 768;

// value × screen / design as the sprites have always formed it: the product in signed 32 bits
// (wrapping on overflow), then divided with truncation toward zero.
constexpr std::int32_t Scaled(std::int32_t value, std::int32_t screen, std::int32_t design) {
  const auto product = static_cast<std::int32_t>(
      static_cast<std::uint32_t>(static_cast<std::int64_t>(value) * static_cast<std::int64_t>(screen)));
  return design == 0 ? product : product / design;
}

// The part of one axis that is drawn: source [First, End) goes to Dest.
struct Span {
  bool Draw = false;
  std::int32_t First = 0, End = 0, Dest = 0;
};

// The five cut rules of one axis, for a picture of length `length` at `pos` on a back surface of
// `limit` pixels. The last pixel (limit − 1) is never drawn on, and a picture of which at most one
// pixel would be visible is skipped. A picture that overhangs both edges is cut on both sides.
Span CutSpan(std::int32_t pos, std::int32_t length, std::int32_t limit);

// The result of a cut blit: whether anything was due to be drawn, and the blit's result.
struct CutBlit {
  bool Drawn = false;
  ddraw::HRESULT Result = ddraw::DD_OK;
};

// Cuts `extent` (left and top 0) placed at (x, y) to a limit × height back surface and blits the
// rest from `source` onto `back` with `flags`, again at once while the blit is still drawing. No
// source (a frame without a surface) gives DDERR_INVALIDPARAMS without a call, when a part is due.
CutBlit BlitCut(ddraw::IDirectDrawSurface* back, ddraw::IDirectDrawSurface* source, std::int32_t x,
                std::int32_t y, const ddraw::RECT& extent, std::uint32_t flags, std::int32_t width,
                std::int32_t height);

// The name a blit error carries after the "#" of its message; empty for a code not in the table.
const char* BltErrorName(ddraw::HRESULT code);

// A still-drawing surface is asked again at once; this bound only keeps a display that never
// finishes from hanging the frame.
inline constexpr int kStillDrawingRetries = 100000;

// A surface's size must be one a picture may have (see vcl::PictureSizeAllowed).
bool SurfaceSizeAllowed(std::int32_t width, std::int32_t height);

// An off-screen surface in the display's format, as the sprites describe it.
ddraw::DDSURFACEDESC OffscreenDesc(std::int32_t width, std::int32_t height);

}  // namespace sprites
