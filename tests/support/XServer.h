#pragma once
// A private virtual X server for one test, so that its windows neither see nor cover anyone else's,
// and helpers to find and drive the windows the program under test makes.
#include <X11/Xlib.h>
#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

class XServer {
 public:
  // Starts Xvfb with one screen of the given size and depth and connects to it.
  explicit XServer(const std::string& screen = "640x480x24");
  ~XServer();
  XServer(const XServer&) = delete;
  XServer& operator=(const XServer&) = delete;

  bool Ok() const { return FDisplay != nullptr; }
  const std::string& Name() const { return FName; }  // ":N", for DISPLAY
  ::Display* Display() const { return FDisplay; }
  ::Window Root() const { return DefaultRootWindow(FDisplay); }
  // Ends the server at once (the test's own connection goes first).
  void Kill();

  // A plain window at (x, y), optionally mapped, filled with `background` (0xRRGGBB on 24 bits).
  ::Window MakeWindow(int x, int y, unsigned width, unsigned height, unsigned long background, bool map);
  // The first top-level window whose WM_NAME is `name`, waited for until it is viewable.
  std::optional<::Window> WaitForTopLevel(const std::string& name,
                                          std::chrono::milliseconds limit = std::chrono::seconds(20));
  // A direct child of `parent` whose WM_NAME is `name`.
  std::optional<::Window> FindChild(::Window parent, const std::string& name);
  // True when a top-level window named `name` exists.
  bool HasTopLevel(const std::string& name);
  // The window that WM_TRANSIENT_FOR names, 0 when the property is absent.
  ::Window TransientFor(::Window window);
  // The atoms of a 32-bit ATOM property.
  std::vector<Atom> AtomList(::Window window, const char* property);

  // Events as a window manager or a window system would deliver them.
  void SendKey(::Window window, unsigned long keysym);
  void SendClick(::Window window, int x, int y);
  void SendDeleteWindow(::Window window);

 private:
  pid_t FPid = -1;
  std::string FName;
  ::Display* FDisplay = nullptr;
};

}  // namespace testsupport
