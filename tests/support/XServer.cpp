#include "support/XServer.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>
#include <vector>

extern char** environ;

namespace testsupport {

namespace {
// The test's own requests may name windows that are gone; errors on the test's connections are
// ignored, every other connection's go to the handler that was there before.
std::vector<::Display*> gTestDisplays;
XErrorHandler gPrevious = nullptr;
int IgnoreErrors(::Display* d, XErrorEvent* e) {
  for (::Display* t : gTestDisplays)
    if (t == d) return 0;
  return gPrevious ? gPrevious(d, e) : 0;
}
}  // namespace

XServer::XServer(const std::string& screen) {
  int ready[2];
  if (pipe2(ready, O_CLOEXEC) != 0) return;
  // Xvfb writes its display number to this descriptor once it accepts connections.
  const int fd = fcntl(ready[1], F_DUPFD, 10);
  close(ready[1]);
  const std::string fdText = std::to_string(fd);
  std::vector<std::string> argText{"Xvfb", "-displayfd", fdText, "-screen", "0", screen, "-nolisten", "tcp",
                                   "-noreset"};
  std::vector<char*> argv;
  for (std::string& a : argText) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const int rc = posix_spawnp(&FPid, "Xvfb", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fd);
  if (rc != 0) {
    FPid = -1;
    close(ready[0]);
    return;
  }
  std::string number;
  pollfd p{ready[0], POLLIN, 0};
  while (poll(&p, 1, 20000) > 0) {
    char c;
    if (read(ready[0], &c, 1) != 1 || c == '\n') break;
    number += c;
  }
  close(ready[0]);
  if (number.empty()) return;
  FName = ":" + number;
  static const bool installed = [] {
    gPrevious = XSetErrorHandler(IgnoreErrors);
    return true;
  }();
  (void)installed;
  FDisplay = XOpenDisplay(FName.c_str());
  if (FDisplay) gTestDisplays.push_back(FDisplay);
}

XServer::~XServer() { Kill(); }

void XServer::Kill() {
  if (FDisplay) {
    XCloseDisplay(FDisplay);
    std::erase(gTestDisplays, FDisplay);
  }
  FDisplay = nullptr;
  if (FPid > 0) {
    kill(FPid, SIGTERM);
    waitpid(FPid, nullptr, 0);
    FPid = -1;
  }
}

::Window XServer::MakeWindow(int x, int y, unsigned width, unsigned height, unsigned long background, bool map) {
  ::Window w = XCreateSimpleWindow(FDisplay, Root(), x, y, width, height, 0, 0, background);
  if (map) XMapWindow(FDisplay, w);
  XSync(FDisplay, False);
  return w;
}

namespace {
std::string WindowName(::Display* d, ::Window w) {
  char* name = nullptr;
  std::string result;
  if (XFetchName(d, w, &name) && name) result = name;
  if (name) XFree(name);
  return result;
}

std::vector<::Window> Children(::Display* d, ::Window parent) {
  ::Window root, up, *kids = nullptr;
  unsigned count = 0;
  std::vector<::Window> result;
  if (XQueryTree(d, parent, &root, &up, &kids, &count) && kids) result.assign(kids, kids + count);
  if (kids) XFree(kids);
  return result;
}
}  // namespace

std::optional<::Window> XServer::FindChild(::Window parent, const std::string& name) {
  for (::Window w : Children(FDisplay, parent))
    if (WindowName(FDisplay, w) == name) return w;
  return std::nullopt;
}

bool XServer::HasTopLevel(const std::string& name) { return FindChild(Root(), name).has_value(); }

std::optional<::Window> XServer::WaitForTopLevel(const std::string& name, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    if (auto w = FindChild(Root(), name)) {
      XWindowAttributes a;
      if (XGetWindowAttributes(FDisplay, *w, &a) && a.map_state == IsViewable) return w;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return std::nullopt;
}

::Window XServer::TransientFor(::Window window) {
  ::Window owner = 0;
  if (!XGetTransientForHint(FDisplay, window, &owner)) return 0;
  return owner;
}

std::vector<Atom> XServer::AtomList(::Window window, const char* property) {
  Atom type;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  std::vector<Atom> result;
  if (XGetWindowProperty(FDisplay, window, XInternAtom(FDisplay, property, False), 0, 64, False, XA_ATOM, &type,
                         &format, &count, &after, &data) == Success &&
      data && format == 32) {
    const long* atoms = reinterpret_cast<const long*>(data);
    for (unsigned long i = 0; i < count; ++i) result.push_back(static_cast<Atom>(atoms[i]));
  }
  if (data) XFree(data);
  return result;
}

void XServer::SendKey(::Window window, unsigned long keysym) {
  XEvent e{};
  e.xkey.type = KeyPress;
  e.xkey.display = FDisplay;
  e.xkey.window = window;
  e.xkey.root = Root();
  e.xkey.time = CurrentTime;
  e.xkey.same_screen = True;
  e.xkey.keycode = XKeysymToKeycode(FDisplay, keysym);
  XSendEvent(FDisplay, window, True, KeyPressMask, &e);
  e.xkey.type = KeyRelease;
  XSendEvent(FDisplay, window, True, KeyReleaseMask, &e);
  XSync(FDisplay, False);
}

void XServer::SendClick(::Window window, int x, int y) {
  XEvent e{};
  e.xbutton.type = ButtonPress;
  e.xbutton.display = FDisplay;
  e.xbutton.window = window;
  e.xbutton.root = Root();
  e.xbutton.time = CurrentTime;
  e.xbutton.x = x;
  e.xbutton.y = y;
  e.xbutton.button = Button1;
  e.xbutton.same_screen = True;
  XSendEvent(FDisplay, window, True, ButtonPressMask, &e);
  e.xbutton.type = ButtonRelease;
  e.xbutton.state = Button1Mask;
  XSendEvent(FDisplay, window, True, ButtonReleaseMask, &e);
  XSync(FDisplay, False);
}

void XServer::SendDeleteWindow(::Window window) {
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = window;
  e.xclient.message_type = XInternAtom(FDisplay, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = static_cast<long>(XInternAtom(FDisplay, "WM_DELETE_WINDOW", False));
  e.xclient.data.l[1] = CurrentTime;
  XSendEvent(FDisplay, window, False, NoEventMask, &e);
  XSync(FDisplay, False);
}

}  // namespace testsupport
