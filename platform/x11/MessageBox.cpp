#include "platform/x11/MessageBox.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "platform/vcl/CodePage.h"
#include "platform/x11/Connection.h"

namespace x11 {

namespace {

constexpr int kMargin = 16;
constexpr int kButtonWidth = 84;
constexpr int kButtonHeight = 26;
constexpr int kMinWidth = 220;
constexpr int kMaxTextWidth = 560;
constexpr int kMaxLines = 40;
constexpr std::size_t kMaxText = 64 * 1024;  // a longer text is cut; stderr has it whole

// Widths of the 256 characters of the font (core fonts have no kerning, so widths add up).
struct Metrics {
  std::array<int, 256> width{};
  int ascent = 11, descent = 2;
  int Width(std::string_view s) const {
    int w = 0;
    for (unsigned char c : s) w += width[c];
    return w;
  }
};

Metrics MeasureFont(const XFontStruct* font) {
  Metrics m;
  m.width.fill(6);
  if (!font) return m;
  m.ascent = font->ascent;
  m.descent = font->descent;
  for (int c = 0; c < 256; ++c) {
    char ch = static_cast<char>(c);
    m.width[static_cast<std::size_t>(c)] = XTextWidth(const_cast<XFontStruct*>(font), &ch, 1);
  }
  return m;
}

// The text cut into lines no wider than maxWidth, broken at blanks where there are any.
std::vector<std::string> WrapText(std::string_view text, const Metrics& m, int maxWidth, std::size_t maxLines) {
  std::vector<std::string> lines;
  bool cut = text.size() > kMaxText;
  text = text.substr(0, kMaxText);
  std::string line;
  int width = 0;
  std::size_t lastBlank = std::string::npos;
  auto endLine = [&] {
    lines.push_back(line);
    line.clear();
    width = 0;
    lastBlank = std::string::npos;
  };
  for (std::size_t i = 0; i < text.size() && lines.size() <= maxLines; ++i) {
    char c = text[i];
    if (c == '\n') {
      endLine();
      continue;
    }
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    const int w = m.width[static_cast<unsigned char>(c)];
    if (width + w > maxWidth && !line.empty()) {
      if (c == ' ') {
        endLine();
        continue;
      }
      if (lastBlank != std::string::npos) {
        std::string rest = line.substr(lastBlank + 1);
        line.resize(lastBlank);
        endLine();
        line = rest;
        width = m.Width(line);
      } else {
        endLine();
      }
    }
    if (c == ' ') lastBlank = line.size();
    line += c;
    width += w;
  }
  if (!line.empty() || lines.empty()) lines.push_back(line);
  if (lines.size() > maxLines) {
    lines.resize(maxLines);
    cut = true;
  }
  if (cut) {
    std::string& last = lines.back();
    while (!last.empty() && m.Width(last) + m.Width("...") > maxWidth) last.pop_back();
    last += "...";
  }
  return lines;
}

unsigned long Colour(::Display* d, Colormap map, const char* spec, unsigned long fallback) {
  XColor colour;
  if (XParseColor(d, map, spec, &colour) && XAllocColor(d, map, &colour)) return colour.pixel;
  return fallback;
}

class Box {
 public:
  Box(Connection& c, std::uintptr_t owner, std::string_view text, std::string_view caption)
      : FC(c), FD(c.Get()), FOwner(static_cast<::Window>(owner)) {
    const int screen = DefaultScreen(FD);
    const ::Window root = RootWindow(FD, screen);
    Colormap map = DefaultColormap(FD, screen);
    const unsigned long black = BlackPixel(FD, screen), white = WhitePixel(FD, screen);
    FFace = Colour(FD, map, "#d4d0c8", white);
    FLight = Colour(FD, map, "#ffffff", white);
    FShadow = Colour(FD, map, "#808080", black);
    FInk = black;

    FFont = XLoadQueryFont(FD, "-misc-fixed-medium-r-normal--13-*-*-*-*-*-iso8859-1");
    if (!FFont) FFont = XLoadQueryFont(FD, "fixed");
    FFontLoaded = FFont != nullptr;
    if (!FFont) FFont = XQueryFont(FD, XGContextFromGC(DefaultGC(FD, screen)));
    FMetrics = MeasureFont(FFont);

    const int screenWidth = DisplayWidth(FD, screen), screenHeight = DisplayHeight(FD, screen);
    const int lineHeight = FMetrics.ascent + FMetrics.descent;
    // As many lines as the screen has room for, and no more than kMaxLines.
    const int roomForLines = (screenHeight - 4 * kMargin - kButtonHeight) / std::max(1, lineHeight);
    FLines = WrapText(text, FMetrics, std::max(100, std::min(kMaxTextWidth, screenWidth - 4 * kMargin)),
                      static_cast<std::size_t>(std::clamp(roomForLines, 1, kMaxLines)));
    int textWidth = 0;
    for (const std::string& line : FLines) textWidth = std::max(textWidth, FMetrics.Width(line));
    const int width = std::max(kMinWidth, textWidth + 2 * kMargin);
    const int height = kMargin + static_cast<int>(FLines.size()) * lineHeight + kMargin + kButtonHeight + kMargin;

    // Over the owner where it exists, else in the middle of the screen.
    FOwnerExists = FOwner != 0 && FC.WindowExists(FOwner);
    int centreX = screenWidth / 2, centreY = screenHeight / 2;
    if (FOwnerExists) {
      XWindowAttributes a;
      int ox = 0, oy = 0;
      ::Window child;
      if (XGetWindowAttributes(FD, FOwner, &a) && XTranslateCoordinates(FD, FOwner, root, 0, 0, &ox, &oy, &child)) {
        centreX = ox + a.width / 2;
        centreY = oy + a.height / 2;
      }
      FC.SyncErrors();
    }
    const int x = std::clamp(centreX - width / 2, 0, std::max(0, screenWidth - width));
    const int y = std::clamp(centreY - height / 2, 0, std::max(0, screenHeight - height));

    XSetWindowAttributes wa{};
    wa.background_pixel = FFace;
    wa.border_pixel = black;
    wa.event_mask = ExposureMask | KeyPressMask | StructureNotifyMask;
    FWindow = XCreateWindow(FD, root, x, y, static_cast<unsigned>(width), static_cast<unsigned>(height), 0,
                            CopyFromParent, InputOutput, CopyFromParent, CWBackPixel | CWBorderPixel | CWEventMask,
                            &wa);
    wa.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | EnterWindowMask | LeaveWindowMask;
    FButton = XCreateWindow(FD, FWindow, (width - kButtonWidth) / 2, height - kMargin - kButtonHeight,
                            kButtonWidth, kButtonHeight, 0, CopyFromParent, InputOutput, CopyFromParent,
                            CWBackPixel | CWEventMask, &wa);
    XStoreName(FD, FButton, "OK");
    FGC = XCreateGC(FD, FWindow, 0, nullptr);
    if (FFontLoaded) XSetFont(FD, FGC, FFont->fid);

    const std::string name(caption);
    XStoreName(FD, FWindow, name.c_str());
    const std::string utf8 = vcl::Utf8FromAnsi(name);
    XChangeProperty(FD, FWindow, Intern("_NET_WM_NAME"), Intern("UTF8_STRING"), 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(utf8.data()), static_cast<int>(utf8.size()));
    char resName[] = "sorvanta", resClass[] = "Sorvanta";
    XClassHint classHint{resName, resClass};
    XSetClassHint(FD, FWindow, &classHint);
    FDelete = Intern("WM_DELETE_WINDOW");
    FProtocols = Intern("WM_PROTOCOLS");
    XSetWMProtocols(FD, FWindow, &FDelete, 1);
    long type = static_cast<long>(Intern("_NET_WM_WINDOW_TYPE_DIALOG"));
    XChangeProperty(FD, FWindow, Intern("_NET_WM_WINDOW_TYPE"), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&type), 1);
    long pid = static_cast<long>(getpid());
    XChangeProperty(FD, FWindow, Intern("_NET_WM_PID"), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&pid), 1);
    XSizeHints size{};
    size.flags = PPosition | PSize | PMinSize | PMaxSize;
    size.x = x;
    size.y = y;
    size.width = size.min_width = size.max_width = width;
    size.height = size.min_height = size.max_height = height;
    XSetWMNormalHints(FD, FWindow, &size);
    XWMHints hints{};
    hints.flags = InputHint | StateHint;
    hints.input = True;
    hints.initial_state = NormalState;
    XSetWMHints(FD, FWindow, &hints);
    if (FOwnerExists) {
      XSetTransientForHint(FD, FWindow, FOwner);
      long modal = static_cast<long>(Intern("_NET_WM_STATE_MODAL"));
      XChangeProperty(FD, FWindow, Intern("_NET_WM_STATE"), XA_ATOM, 32, PropModeReplace,
                      reinterpret_cast<unsigned char*>(&modal), 1);
      XSelectInput(FD, FOwner, StructureNotifyMask);  // an owned box ends with its owner
    }
    XMapWindow(FD, FButton);
    XMapWindow(FD, FWindow);
    FC.SyncErrors();
  }

  ~Box() {
    if (FFont) {
      if (FFontLoaded)
        XFreeFont(FD, FFont);
      else
        XFreeFontInfo(nullptr, FFont, 1);
    }
    XFreeGC(FD, FGC);
    if (!FWindowGone) XDestroyWindow(FD, FWindow);
    if (FOwnerExists) XSelectInput(FD, FOwner, NoEventMask);
    FC.SyncErrors();
  }

  void Run() {
    bool done = false;
    while (!done) {
      while (!done && FC.Alive() && XPending(FD) > 0) {
        XEvent event;
        XNextEvent(FD, &event);
        done = Handle(event);
      }
      if (done || !FC.WaitForEvents(1000)) break;
    }
  }

 private:
  ::Atom Intern(const char* name) { return XInternAtom(FD, name, False); }

  // True when the event dismisses the box.
  bool Handle(XEvent& event) {
    switch (event.type) {
      case Expose:
        if (event.xexpose.count == 0) {
          if (event.xexpose.window == FWindow) DrawText();
          if (event.xexpose.window == FButton) DrawButton();
        }
        return false;
      case MapNotify:
        // Keyboard answers (Return, Escape) need the focus, also where no window manager gives it.
        if (event.xmap.window == FWindow) XSetInputFocus(FD, FWindow, RevertToParent, CurrentTime);
        return false;
      case KeyPress: {
        const KeySym key = XLookupKeysym(&event.xkey, 0);
        return key == XK_Return || key == XK_KP_Enter || key == XK_space || key == XK_Escape;
      }
      case ButtonPress:
        if (event.xbutton.window == FButton && event.xbutton.button == Button1) {
          FPressed = FInside = true;
          DrawButton();
        }
        return false;
      case ButtonRelease:
        if (event.xbutton.window == FButton && event.xbutton.button == Button1 && FPressed) {
          FPressed = false;
          const bool inside = event.xbutton.x >= 0 && event.xbutton.y >= 0 && event.xbutton.x < kButtonWidth &&
                              event.xbutton.y < kButtonHeight;
          if (inside) return true;
          DrawButton();
        }
        return false;
      case EnterNotify:
      case LeaveNotify:
        if (event.xcrossing.window == FButton && FPressed) {
          FInside = event.type == EnterNotify;
          DrawButton();
        }
        return false;
      case ClientMessage:
        return event.xclient.message_type == FProtocols && event.xclient.format == 32 &&
               static_cast<::Atom>(event.xclient.data.l[0]) == FDelete;
      case DestroyNotify:
        if (event.xdestroywindow.window == FWindow) {
          FWindowGone = true;
          return true;
        }
        return FOwnerExists && event.xdestroywindow.window == FOwner;
      default:
        return false;
    }
  }

  void DrawText() {
    XSetForeground(FD, FGC, FInk);
    const int lineHeight = FMetrics.ascent + FMetrics.descent;
    for (std::size_t i = 0; i < FLines.size(); ++i) {
      const std::string& line = FLines[i];
      XDrawString(FD, FWindow, FGC, kMargin, kMargin + FMetrics.ascent + static_cast<int>(i) * lineHeight,
                  line.data(), static_cast<int>(line.size()));
    }
  }

  void DrawButton() {
    const bool sunken = FPressed && FInside;
    const int w = kButtonWidth - 1, h = kButtonHeight - 1;
    XClearWindow(FD, FButton);
    XSetForeground(FD, FGC, FInk);
    XDrawRectangle(FD, FButton, FGC, 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h));
    XSetForeground(FD, FGC, sunken ? FShadow : FLight);
    XDrawLine(FD, FButton, FGC, 1, 1, w - 1, 1);
    XDrawLine(FD, FButton, FGC, 1, 1, 1, h - 1);
    XSetForeground(FD, FGC, sunken ? FLight : FShadow);
    XDrawLine(FD, FButton, FGC, 1, h - 1, w - 1, h - 1);
    XDrawLine(FD, FButton, FGC, w - 1, 1, w - 1, h - 1);
    XSetForeground(FD, FGC, FInk);
    const int shift = sunken ? 1 : 0;
    const int tx = (kButtonWidth - FMetrics.Width("OK")) / 2 + shift;
    const int ty = (kButtonHeight + FMetrics.ascent - FMetrics.descent) / 2 + shift;
    XDrawString(FD, FButton, FGC, tx, ty, "OK", 2);
  }

  Connection& FC;
  ::Display* FD;
  ::Window FOwner;
  bool FOwnerExists = false;
  ::Window FWindow = 0, FButton = 0;
  GC FGC = nullptr;
  XFontStruct* FFont = nullptr;
  bool FFontLoaded = false;
  Metrics FMetrics;
  std::vector<std::string> FLines;
  unsigned long FFace = 0, FLight = 0, FShadow = 0, FInk = 0;
  ::Atom FDelete = 0, FProtocols = 0;
  bool FPressed = false, FInside = false, FWindowGone = false;
};

}  // namespace

bool RunMessageBox(std::uintptr_t owner, std::string_view text, std::string_view caption) {
  Connection connection;
  if (!connection.Ok()) return false;
  // X11 window ids have 29 bits; anything larger names no window.
  if (owner > 0x1FFFFFFFu) owner = 0;
  Box box(connection, owner, text, caption);
  box.Run();
  return true;
}

}  // namespace x11
