#include "platform/ddraw/Pixels.h"

#include <algorithm>
#include <cstring>

namespace ddraw::detail {

bool Inside(const RECT& r, std::int32_t width, std::int32_t height) {
  return r.left >= 0 && r.top >= 0 && r.left <= r.right && r.top <= r.bottom && r.right <= width &&
         r.bottom <= height;
}

bool Moved(const RECT& r, std::int32_t x, std::int32_t y, RECT* out) {
  const std::int64_t w = static_cast<std::int64_t>(r.right) - r.left;
  const std::int64_t h = static_cast<std::int64_t>(r.bottom) - r.top;
  const std::int64_t right = x + w, bottom = y + h;
  if (w < 0 || h < 0 || right > INT32_MAX || bottom > INT32_MAX) return false;
  *out = RECT{x, y, static_cast<std::int32_t>(right), static_cast<std::int32_t>(bottom)};
  return true;
}

RECT Whole(const View& v) { return RECT{0, 0, v.width, v.height}; }

void Fill(const View& dst, const RECT& r, std::uint32_t color) {
  const std::int32_t w = r.right - r.left;
  if (w <= 0) return;
  for (std::int32_t y = r.top; y < r.bottom; ++y) std::fill_n(dst.Row(y) + r.left, w, color);
}

void Copy(const View& dst, std::int32_t x, std::int32_t y, const View& src, const RECT& r) {
  const std::int32_t w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return;
  const std::size_t bytes = static_cast<std::size_t>(w) * sizeof(std::uint32_t);
  // Rows go bottom-up when copying downwards within one surface, so no row is read after it was written.
  const bool upwards = dst.pixels == src.pixels && y > r.top;
  for (std::int32_t i = 0; i < h; ++i) {
    const std::int32_t row = upwards ? h - 1 - i : i;
    std::memmove(dst.Row(y + row) + x, src.Row(r.top + row) + r.left, bytes);
  }
}

void CopyKeyed(const View& dst, std::int32_t x, std::int32_t y, const View& src, const RECT& r,
               std::uint32_t key) {
  const std::int32_t w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return;
  key &= 0x00FFFFFFu;
  const bool upwards = dst.pixels == src.pixels && y > r.top;
  const bool leftwards = dst.pixels == src.pixels && y == r.top && x > r.left;
  for (std::int32_t i = 0; i < h; ++i) {
    const std::int32_t row = upwards ? h - 1 - i : i;
    const std::uint32_t* s = src.Row(r.top + row) + r.left;
    std::uint32_t* d = dst.Row(y + row) + x;
    if (leftwards) {
      for (std::int32_t c = w - 1; c >= 0; --c)
        if ((s[c] & 0x00FFFFFFu) != key) d[c] = s[c];
    } else {
      for (std::int32_t c = 0; c < w; ++c)
        if ((s[c] & 0x00FFFFFFu) != key) d[c] = s[c];
    }
  }
}

void Scramble(const View& dst, std::uint32_t seed) {
  std::uint32_t state = seed * 2654435761u + 0x9E3779B9u;
  for (std::int32_t y = 0; y < dst.height; ++y) {
    std::uint32_t* row = dst.Row(y);
    for (std::int32_t x = 0; x < dst.width; ++x) {
      state ^= state << 13;
      state ^= state >> 17;
      state ^= state << 5;
      row[x] = (state & 0x00FFFFFFu) | 0x00010101u;  // never pure black, so a colour key never hides it
    }
  }
}

}  // namespace ddraw::detail
