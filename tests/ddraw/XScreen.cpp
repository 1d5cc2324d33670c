#include "XScreen.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace ddraw::testing {

XScreen::XScreen() : display_(XOpenDisplay(nullptr)) {}
XScreen::~XScreen() {
  if (display_) XCloseDisplay(static_cast<Display*>(display_));
}
int XScreen::Width() const {
  auto* d = static_cast<Display*>(display_);
  return DisplayWidth(d, DefaultScreen(d));
}
int XScreen::Height() const {
  auto* d = static_cast<Display*>(display_);
  return DisplayHeight(d, DefaultScreen(d));
}
std::uint32_t XScreen::Pixel(int x, int y) const {
  auto* d = static_cast<Display*>(display_);
  XImage* image = XGetImage(d, DefaultRootWindow(d), x, y, 1, 1, AllPlanes, ZPixmap);
  if (!image) return 0xFFFFFFFF;
  const auto p = static_cast<std::uint32_t>(XGetPixel(image, 0, 0)) & 0x00FFFFFF;
  XDestroyImage(image);
  return p;
}

}  // namespace ddraw::testing
