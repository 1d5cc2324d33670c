#pragma once
// A pixel buffer for text tests: the device context sees `width` × `height` pixels with a row pitch
// wider than that, inside a guard of pixels above and below that nothing may touch.
#include <cstdint>
#include <vector>

#include "platform/gdi/Gdi.h"

namespace gdi_test {

inline constexpr std::uint32_t kGuard = 0xA5C3E10Fu;

struct Canvas {
  static constexpr int kPad = 7, kGuardRows = 3;
  Canvas(int w, int h, std::uint32_t fill = 0) : width(w), height(h), pitch(w + kPad),
      store(static_cast<std::size_t>(pitch) * (h + 2 * kGuardRows), kGuard) {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) At(x, y) = fill;
    dc.bits = {store.data() + pitch * kGuardRows, width, height, pitch};
  }
  Canvas(const Canvas& o) : width(o.width), height(o.height), pitch(o.pitch), store(o.store), dc(o.dc) {
    dc.bits.pixels = store.data() + pitch * kGuardRows;
  }
  Canvas& operator=(const Canvas&) = delete;
  std::uint32_t& At(int x, int y) { return store[static_cast<std::size_t>(pitch) * (y + kGuardRows) + x]; }
  std::uint32_t At(int x, int y) const {
    return store[static_cast<std::size_t>(pitch) * (y + kGuardRows) + x];
  }
  // True when every pixel outside the visible area still holds the guard value.
  bool GuardIntact() const {
    for (int y = -kGuardRows; y < height + kGuardRows; ++y)
      for (int x = 0; x < pitch; ++x) {
        const bool visible = y >= 0 && y < height && x < width;
        if (!visible && store[static_cast<std::size_t>(pitch) * (y + kGuardRows) + x] != kGuard) return false;
      }
    return true;
  }
  // Fills the visible pixels with a fixed pattern that no text colour repeats.
  void Pattern() {
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) At(x, y) = (static_cast<std::uint32_t>(x * 73 + y * 151) * 2654435761u) & 0xFFFFFF;
  }
  int width, height, pitch;
  std::vector<std::uint32_t> store;
  gdi::DC dc;
};

inline gdi::HFONT Arial(int height, int weight = gdi::FW_BOLD) {
  return gdi::CreateFontA(height, 0, 0, 0, weight, 0, 0, 0, gdi::ANSI_CHARSET, gdi::OUT_DEFAULT_PRECIS,
                          gdi::CLIP_DEFAULT_PRECIS, gdi::PROOF_QUALITY, gdi::VARIABLE_PITCH, "Arial");
}

}  // namespace gdi_test
