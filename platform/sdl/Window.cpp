#include "platform/sdl/Window.h"

#include <SDL_syswm.h>

#include <unordered_map>

#include "platform/sdl/Presenter.h"
#include "platform/sdl/Video.h"

namespace sdl {

namespace {
// Main thread only, like every window call.
std::unordered_map<std::uint32_t, Window*>& Registry() {
  static std::unordered_map<std::uint32_t, Window*> windows;
  return windows;
}
}  // namespace

Window::Window(vcl::TForm& form, SDL_Window* window)
    : form_(form), window_(window), id_(SDL_GetWindowID(window)) {
  Registry()[id_] = this;
}

Window::~Window() {
  if (presenter_) presenter_->WindowGone();
  Registry().erase(id_);
  SDL_DestroyWindow(window_);
}

void Window::Show() {
  SDL_ShowWindow(window_);
  SDL_RaiseWindow(window_);
}
void Window::Hide() { SDL_HideWindow(window_); }
void Window::SetBorderless(bool borderless) { SDL_SetWindowBordered(window_, borderless ? SDL_FALSE : SDL_TRUE); }
void Window::SetSize(std::int32_t width, std::int32_t height) {
  if (width > 0 && height > 0) SDL_SetWindowSize(window_, width, height);
}
void Window::SetCaption(const std::string& caption) { SDL_SetWindowTitle(window_, caption.c_str()); }
void Window::SetCursorVisible(bool visible) { SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE); }

std::uintptr_t Window::XWindowId() const {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(window_, &info) != SDL_TRUE) return 0;
#if defined(SDL_VIDEO_DRIVER_X11)
  if (info.subsystem == SDL_SYSWM_X11) return static_cast<std::uintptr_t>(info.info.x11.window);
#endif
  return 0;
}

bool Window::ScreenPointer(int* x, int* y) {
#if defined(SDL_VIDEO_DRIVER_X11)
  if (Registry().empty()) return false;
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(Registry().begin()->second->window_, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11)
    return false;
  ::Display* display = info.info.x11.display;
  ::Window root = 0, child = 0;
  int wx = 0, wy = 0;
  unsigned mask = 0;
  return XQueryPointer(display, DefaultRootWindow(display), &root, &child, x, y, &wx, &wy, &mask) == True;
#else
  (void)x;
  (void)y;
  return false;
#endif
}

Window* Window::FromId(std::uint32_t id) {
  auto it = Registry().find(id);
  return it == Registry().end() ? nullptr : it->second;
}

std::unique_ptr<vcl::NativeWindow> MakeWindow(vcl::TForm& form) {
  if (!EnsureVideo()) return nullptr;
  const int w = form.Width() > 0 ? form.Width() : 640;
  const int h = form.Height() > 0 ? form.Height() : 480;
  const std::string& caption = form.Caption().empty() ? vcl::Application().Title : form.Caption();
  SDL_Window* window = SDL_CreateWindow(caption.c_str(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, w, h,
                                        SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE);
  if (!window) return nullptr;
  return std::make_unique<Window>(form, window);
}

}  // namespace sdl
