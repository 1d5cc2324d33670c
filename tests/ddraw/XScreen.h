#pragma once
// Reads the X screen back from the root window (kept apart: Xlib's macros clash with gtest's).
#include <cstdint>

namespace ddraw::testing {

class XScreen {
 public:
  XScreen();
  ~XScreen();
  XScreen(const XScreen&) = delete;
  XScreen& operator=(const XScreen&) = delete;
  bool Ok() const { return display_ != nullptr; }
  int Width() const;
  int Height() const;
  // 0x00RRGGBB, or 0xFFFFFFFF when the pixel cannot be read.
  std::uint32_t Pixel(int x, int y) const;

 private:
  void* display_;
};

}  // namespace ddraw::testing
