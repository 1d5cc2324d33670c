#pragma once
// A form's SDL window.
#include <SDL.h>

#include <cstdint>
#include <memory>
#include <string>

#include "platform/vcl/Forms.h"

namespace sdl {

class Presenter;

class Window final : public vcl::NativeWindow {
 public:
  Window(vcl::TForm& form, SDL_Window* window);
  ~Window() override;
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  void Show() override;
  void Hide() override;
  void SetBorderless(bool borderless) override;
  void SetSize(std::int32_t width, std::int32_t height) override;
  void SetCaption(const std::string& caption) override;
  void SetCursorVisible(bool visible) override;
  std::uintptr_t XWindowId() const override;

  SDL_Window* Get() const { return window_; }
  vcl::TForm& Form() const { return form_; }
  // The presenter showing frames in this window (the full-screen display), or none.
  void Attach(Presenter* presenter) { presenter_ = presenter; }
  Presenter* Attached() const { return presenter_; }

  // Where the pointer is on the screen, asked of the X server through SDL's own connection (main
  // thread); false when the window system is not X11 or no window is open.
  static bool ScreenPointer(int* x, int* y);

  // The window with this SDL id, on the main thread; none when it is not ours.
  static Window* FromId(std::uint32_t id);
  static Window* From(vcl::HWND handle) { return dynamic_cast<Window*>(handle); }

 private:
  vcl::TForm& form_;
  SDL_Window* window_;
  std::uint32_t id_;
  Presenter* presenter_ = nullptr;
};

// The window factory: a hidden SDL window for the form, or none when SDL cannot make one.
std::unique_ptr<vcl::NativeWindow> MakeWindow(vcl::TForm& form);

}  // namespace sdl
