#include "platform/x11/ForeignWindow.h"

#include <X11/Xutil.h>

#include <bit>
#include <vector>

#include "platform/x11/Connection.h"

namespace x11 {

namespace {

// Places an 8-bit channel value into the bits of `mask`.
unsigned long Channel(std::uint32_t value, unsigned long mask) {
  if (mask == 0) return 0;
  const int shift = std::countr_zero(mask);
  const int bits = std::popcount(mask);
  const unsigned long v = bits >= 8 ? static_cast<unsigned long>(value) << (bits - 8) : value >> (8 - bits);
  return (v << shift) & mask;
}

}  // namespace

std::unique_ptr<ForeignWindow> ForeignWindow::Open(std::uint32_t id) {
  auto connection = std::make_unique<Connection>();
  if (!connection->Ok()) return nullptr;
  return std::unique_ptr<ForeignWindow>(new ForeignWindow(std::move(connection), id));
}

ForeignWindow::ForeignWindow(std::unique_ptr<Connection> connection, std::uint32_t id)
    : FConnection(std::move(connection)), FId(id) {}

ForeignWindow::~ForeignWindow() = default;

WindowState ForeignWindow::State() {
  if (!FConnection->Alive() || FId == 0) return WindowState::Gone;
  FConnection->SyncErrors();
  XWindowAttributes attributes;
  const Status status = XGetWindowAttributes(FConnection->Get(), FId, &attributes);
  if (FConnection->SyncErrors() != 0 || status == 0 || !FConnection->Ok()) return WindowState::Gone;
  return attributes.map_state == IsViewable ? WindowState::Viewable : WindowState::NotViewable;
}

bool ForeignWindow::Draw(const vcl::DecodedImage& image, int x, int y) {
  if (!FConnection->Alive() || FId == 0 || image.width <= 0 || image.height <= 0) return false;
  ::Display* d = FConnection->Get();
  FConnection->SyncErrors();
  XWindowAttributes attributes;
  if (XGetWindowAttributes(d, FId, &attributes) == 0 || FConnection->SyncErrors() != 0) return false;
  Visual* visual = attributes.visual;
  if (!visual || visual->c_class != TrueColor || (attributes.depth != 24 && attributes.depth != 32)) return false;

  XImage* picture = XCreateImage(d, visual, static_cast<unsigned>(attributes.depth), ZPixmap, 0, nullptr,
                                 static_cast<unsigned>(image.width), static_cast<unsigned>(image.height), 32, 0);
  if (!picture) return false;
  std::vector<char> bytes(static_cast<std::size_t>(picture->bytes_per_line) * static_cast<std::size_t>(image.height));
  picture->data = bytes.data();
  // Bits of the depth that no colour uses (the alpha of a 32-bit visual) are set: opaque.
  const unsigned long depthBits = attributes.depth >= 32 ? 0xFFFFFFFFul : (1ul << attributes.depth) - 1;
  const unsigned long rest = depthBits & ~(visual->red_mask | visual->green_mask | visual->blue_mask);
  for (std::int32_t row = 0; row < image.height; ++row) {
    const std::uint32_t* src = image.pixels.data() + static_cast<std::size_t>(row) * image.width;
    for (std::int32_t col = 0; col < image.width; ++col) {
      const std::uint32_t p = src[col];
      XPutPixel(picture, col, row,
                Channel(p >> 16 & 0xFF, visual->red_mask) | Channel(p >> 8 & 0xFF, visual->green_mask) |
                    Channel(p & 0xFF, visual->blue_mask) | rest);
    }
  }
  GC gc = XCreateGC(d, FId, 0, nullptr);
  XPutImage(d, FId, gc, picture, 0, 0, x, y, static_cast<unsigned>(image.width),
            static_cast<unsigned>(image.height));
  XFreeGC(d, gc);
  picture->data = nullptr;  // the vector owns the bytes
  XDestroyImage(picture);
  return FConnection->SyncErrors() == 0 && FConnection->Ok();
}

}  // namespace x11
