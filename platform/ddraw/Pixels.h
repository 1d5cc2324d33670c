#pragma once
// The pixel work every surface shares: 32-bit XRGB memory (0x00RRGGBB), rectangles checked
// against their surface, colour fill, row copies and keyed copies.
#include <cstdint>

#include "platform/ddraw/DDraw.h"

namespace ddraw::detail {

// A window onto 32-bit pixel memory; pitch counts pixels per row.
struct View {
  std::uint32_t* pixels = nullptr;
  std::int32_t width = 0, height = 0, pitch = 0;
  std::uint32_t* Row(std::int32_t y) const { return pixels + static_cast<std::int64_t>(y) * pitch; }
};

// True when r is well formed (left <= right, top <= bottom) and lies wholly inside width x height.
bool Inside(const RECT& r, std::int32_t width, std::int32_t height);
// The rectangle r moved so that its top-left corner is (x, y), or false when that overflows.
bool Moved(const RECT& r, std::int32_t x, std::int32_t y, RECT* out);
RECT Whole(const View& v);

void Fill(const View& dst, const RECT& r, std::uint32_t color);
// Copies r of src to (x, y) of dst; both rectangles must be inside. src and dst may be one surface.
void Copy(const View& dst, std::int32_t x, std::int32_t y, const View& src, const RECT& r);
// As Copy, but leaves the destination alone where the source pixel's colour (low 24 bits) is key's.
void CopyKeyed(const View& dst, std::int32_t x, std::int32_t y, const View& src, const RECT& r,
               std::uint32_t key);
// Fills with a busy pattern: what "undefined contents" look like in tests, so a missing refill shows.
void Scramble(const View& dst, std::uint32_t seed);

}  // namespace ddraw::detail
