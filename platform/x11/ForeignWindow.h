#pragma once
// A window of another program, known only by its X11 id: the preview draws into the small window
// that the display settings own.
#include <cstdint>
#include <memory>

#include "platform/vcl/Bmp.h"

namespace x11 {

class Connection;

enum class WindowState { Viewable, NotViewable, Gone };

class ForeignWindow {
 public:
  // Connects to the display named by DISPLAY; none when there is no display to reach.
  static std::unique_ptr<ForeignWindow> Open(std::uint32_t id);
  ~ForeignWindow();

  // Whether the window exists and is viewable (mapped, and all its ancestors too).
  WindowState State();
  // Draws the picture with its top-left corner at (x, y) of the window, which clips it, and waits
  // until the server has done so. False when the window is gone or its visual is not TrueColor
  // of depth 24 or 32.
  bool Draw(const vcl::DecodedImage& image, int x, int y);

 private:
  ForeignWindow(std::unique_ptr<Connection> connection, std::uint32_t id);
  std::unique_ptr<Connection> FConnection;
  std::uint32_t FId;
};

}  // namespace x11
