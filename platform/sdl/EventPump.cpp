#include "platform/sdl/EventPump.h"

#include "platform/sdl/Presenter.h"
#include "platform/sdl/Video.h"
#include "platform/sdl/Window.h"
#include "platform/vcl/CodePage.h"

namespace sdl {

namespace {

vcl::TShiftState Shift(Uint32 buttons) {
  const SDL_Keymod mod = SDL_GetModState();
  vcl::TShiftState s = 0;
  if (mod & KMOD_SHIFT) s |= vcl::ssShift;
  if (mod & KMOD_ALT) s |= vcl::ssAlt;
  if (mod & KMOD_CTRL) s |= vcl::ssCtrl;
  if (buttons & SDL_BUTTON_LMASK) s |= vcl::ssLeft;
  return s;
}

// The form an input event is for: its window's, or the main form's when SDL names no window
// (keyboard input without a focused window).
vcl::TForm* FormOf(std::uint32_t windowId) {
  if (Window* w = Window::FromId(windowId)) return &w->Form();
  if (windowId == 0) return vcl::Application().MainForm;
  return nullptr;
}


}  // namespace

std::uint16_t VirtualKey(SDL_Keycode key) {
  if (key >= SDLK_a && key <= SDLK_z) return static_cast<std::uint16_t>('A' + (key - SDLK_a));
  if (key >= SDLK_0 && key <= SDLK_9) return static_cast<std::uint16_t>(key);
  if (key >= SDLK_F1 && key <= SDLK_F12) return static_cast<std::uint16_t>(112 + (key - SDLK_F1));
  if (key >= SDLK_KP_1 && key <= SDLK_KP_9) return static_cast<std::uint16_t>(97 + (key - SDLK_KP_1));
  switch (key) {
    case SDLK_ESCAPE: return vcl::VK_ESCAPE;
    case SDLK_RETURN: case SDLK_KP_ENTER: return 13;
    case SDLK_BACKSPACE: return 8;
    case SDLK_TAB: return 9;
    case SDLK_SPACE: return 32;
    case SDLK_PAGEUP: return 33;
    case SDLK_PAGEDOWN: return 34;
    case SDLK_END: return 35;
    case SDLK_HOME: return 36;
    case SDLK_LEFT: return 37;
    case SDLK_UP: return 38;
    case SDLK_RIGHT: return 39;
    case SDLK_DOWN: return 40;
    case SDLK_INSERT: return 45;
    case SDLK_DELETE: return 46;
    case SDLK_KP_0: return 96;
    case SDLK_LSHIFT: case SDLK_RSHIFT: return 16;
    case SDLK_LCTRL: case SDLK_RCTRL: return 17;
    case SDLK_LALT: case SDLK_RALT: return 18;
    default: return 0;
  }
}

char ControlCharacter(SDL_Keycode key) {
  switch (key) {
    case SDLK_ESCAPE: return 27;
    case SDLK_RETURN: case SDLK_KP_ENTER: return 13;
    case SDLK_BACKSPACE: return 8;
    case SDLK_TAB: return 9;
    default: return 0;
  }
}

int ToCodePage1252(const char* utf8, char* out, int capacity) {
  int n = 0;
  const auto* p = reinterpret_cast<const unsigned char*>(utf8);
  while (*p && n < capacity) {
    std::uint32_t cp;
    int extra;
    if (*p < 0x80) {
      cp = *p;
      extra = 0;
    } else if ((*p & 0xE0) == 0xC0) {
      cp = *p & 0x1F;
      extra = 1;
    } else if ((*p & 0xF0) == 0xE0) {
      cp = *p & 0x0F;
      extra = 2;
    } else if ((*p & 0xF8) == 0xF0) {
      cp = *p & 0x07;
      extra = 3;
    } else {
      ++p;  // a stray continuation byte
      continue;
    }
    ++p;
    bool ok = true;
    for (int i = 0; i < extra; ++i) {
      if ((*p & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      cp = (cp << 6) | (*p & 0x3F);
      ++p;
    }
    if (!ok) continue;
    const int b = vcl::Cp1252FromUnicode(cp);
    if (b > 0) out[n++] = static_cast<char>(b);
  }
  return n;
}

namespace {

// Whether the pointer moved on the screen since the last motion event looked at; the first one
// only notes where the pointer rests. A window that appears, goes full screen or moves under a
// resting pointer is reported as motion too, with stale coordinates, and a screen saver must not
// take that for the user. The X server is asked itself (SDL's own idea of the global position is
// cached between raw pointer events). Without X every motion counts.
bool PointerMoved() {
  static bool known = false;
  static int lastX = 0, lastY = 0;
  int x = 0, y = 0;
  if (!Window::ScreenPointer(&x, &y)) return true;
  const bool moved = known && (x != lastX || y != lastY);
  known = true;
  lastX = x;
  lastY = y;
  return moved;
}

}  // namespace

void Dispatch(const SDL_Event& e) {
  if (e.type == WakeEventType()) {
    WakeSeen();
    return;
  }
  switch (e.type) {
    case SDL_KEYDOWN: {
      vcl::TForm* form = FormOf(e.key.windowID);
      if (!form) return;
      if (std::uint16_t vk = VirtualKey(e.key.keysym.sym)) form->DoKeyDown(vk, Shift(SDL_GetMouseState(nullptr, nullptr)));
      // Forms may be closed by the key; look the window up again before the character.
      form = FormOf(e.key.windowID);
      if (char c = ControlCharacter(e.key.keysym.sym); c && form) form->DoKeyPress(c);
      break;
    }
    case SDL_TEXTINPUT: {
      char bytes[sizeof(e.text.text)];
      const int n = ToCodePage1252(e.text.text, bytes, static_cast<int>(sizeof(bytes)));
      for (int i = 0; i < n; ++i)
        if (vcl::TForm* form = FormOf(e.text.windowID)) form->DoKeyPress(bytes[i]);
      break;
    }
    case SDL_MOUSEMOTION:
      // Only a pointer that moved on the screen is a movement: a window that appears, grows to
      // full screen or moves under a resting pointer reports motion too, with stale coordinates.
      if (!PointerMoved()) break;
      if (vcl::TForm* form = FormOf(e.motion.windowID)) form->DoMouseMove(Shift(e.motion.state), e.motion.x, e.motion.y);
      break;
    case SDL_WINDOWEVENT: {
      Window* w = Window::FromId(e.window.windowID);
      if (!w) return;
      switch (e.window.event) {
        case SDL_WINDOWEVENT_FOCUS_GAINED: vcl::Application().SetActive(true); break;
        case SDL_WINDOWEVENT_FOCUS_LOST: vcl::Application().SetActive(false); break;
        case SDL_WINDOWEVENT_CLOSE: w->Form().Close(); break;
        default:
          if (Presenter* p = w->Attached()) p->HandleWindowEvent(e.window);
          break;
      }
      break;
    }
    case SDL_RENDER_TARGETS_RESET: Presenter::RenderResetAll(false); break;
    case SDL_RENDER_DEVICE_RESET: Presenter::RenderResetAll(true); break;
    case SDL_QUIT:
      if (vcl::Application().MainForm)
        vcl::Application().MainForm->Close();
      else
        vcl::Application().Terminate();
      break;
    default: break;
  }
}

bool EventPump::Pump(int timeoutMs) {
  if (!VideoReady()) return false;
  bool any = false;
  SDL_Event e;
  // A frame waiting to be shown is work: do not sleep on the queue.
  if (SDL_WaitEventTimeout(&e, Presenter::AnyPending() ? 0 : timeoutMs) == 1) {
    any = true;
    Dispatch(e);
    while (SDL_PollEvent(&e) == 1) Dispatch(e);
  }
  Presenter::PresentAll();
  return any;
}

void EventPump::Wake() { WakePump(); }

EventPump& ThePump() {
  static EventPump pump;
  return pump;
}

}  // namespace sdl
