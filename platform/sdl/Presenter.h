#pragma once
// Shows the display's finished frames in a full-screen SDL window. Frames are composed in memory on
// the frame thread; Flip hands the finished buffer over through a small mailbox (a short lock,
// never a wait for the screen), and the main thread uploads what changed since the frame it
// showed last, scaled and letter-boxed to the window, with the gamma ramp applied at scan-out.
// Drawn by the processor (no graphics card) into a window of the picture's own size, the changed
// regions are copied straight into the window's pixels and only they are sent to the screen.
#include <SDL.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/ddraw/DDraw.h"

namespace sdl {

class Window;

class Presenter {
 public:
  enum class FlipResult { Done, Busy, Closed };
  struct Totals {
    std::uint64_t presented = 0;    // frames put on the screen
    std::uint64_t fullUploads = 0;  // frames uploaded whole
    std::uint64_t rowsUploaded = 0; // rows of changed regions uploaded
    std::uint64_t pixelsUploaded = 0;
    std::uint64_t pixelsSent = 0;   // window pixels sent to the screen
  };

  // Main thread: takes the window full screen on the desktop (no mode switch) on the given display
  // (-1: where it is) and makes the renderer. None when that fails.
  static std::shared_ptr<Presenter> Open(Window& window, int display);
  ~Presenter();
  Presenter(const Presenter&) = delete;
  Presenter& operator=(const Presenter&) = delete;

  // Main thread: the picture's size; makes the buffers and the texture. False when it cannot.
  bool SetMode(std::int32_t width, std::int32_t height);
  // Main thread: gives the window back as a normal window; frames are no longer shown.
  void Close();
  // Main thread: the window is being destroyed.
  void WindowGone();

  std::int32_t Width() const { return width_; }
  std::int32_t Height() const { return height_; }

  // The composing side (the frame thread, or whoever draws).
  std::uint32_t* Back();
  std::uint32_t* Front();
  FlipResult Flip();
  // A copy of the front to draw on (nullptr while no buffer is free), shown by EndFrontWrite.
  std::uint32_t* BeginFrontWrite();
  void EndFrontWrite();
  // Lost while the window is minimised or the renderer was reset, until the chain is restored.
  std::uint64_t LossEpoch() const { return lossEpoch_.load(); }
  bool Minimized() const { return minimized_.load(); }
  bool Closed() const { return closed_.load(); }
  void SetGamma(const ddraw::DDGAMMARAMP& ramp);

  // Main thread: shows the newest frame (or repaints after an exposure); true if it drew.
  bool Present();
  void HandleWindowEvent(const SDL_WindowEvent& event);
  void HandleRenderReset(bool deviceLost);

  // Main thread: every open presenter.
  static void PresentAll();
  static bool AnyPending();
  static void RenderResetAll(bool deviceLost);
  static Totals Counted();

 private:
  enum class State { Free, Drawing, Ready, Taking, Showing };
  struct Slot {
    std::vector<std::uint32_t> pixels;
    State state = State::Free;
  };
  static constexpr int kSlots = 5;  // drawing, ready, taking, showing, a copy-on-write of the front

  Presenter(Window& window, SDL_Renderer* renderer, bool ownsRenderer);
  int FreeSlot() const;  // under mutex_
  void Publish(int slot);  // under mutex_
  bool MakeTexture();
  // Main thread: the way the next present reaches the window; false when there is none.
  bool ChoosePath();
  void DropRenderer();
  bool MakeRenderer();
  void ApplyGamma(const ddraw::DDGAMMARAMP& ramp);
  void Upload(const std::uint32_t* now, const std::uint32_t* was);
  void UploadRect(const std::uint32_t* now, std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1);
  // The rectangle r of now, mapped through the gamma table when map (into scratch_); its pitch.
  const std::uint32_t* Mapped(const std::uint32_t* now, const SDL_Rect& r, bool map, int* pitch);
  void CopyToSurface(const std::uint32_t* now, const SDL_Rect& r);
  bool PresentToSurface(int take);
  bool PresentWithRenderer(int take);

  Window* window_;
  SDL_Window* sdlWindow_;
  SDL_Renderer* renderer_;
  bool ownsRenderer_;
  // Drawn by SDL's own software path: a window of the picture's size is drawn into directly.
  bool software_ = false;
  SDL_Texture* texture_ = nullptr;
  std::int32_t width_ = 0, height_ = 0;

  mutable std::mutex mutex_;  // guards the slots' states and indices, and the gamma ramp
  std::array<Slot, kSlots> slots_;
  int back_ = -1, front_ = -1, ready_ = -1, pending_ = -1;
  ddraw::DDGAMMARAMP ramp_{};
  std::uint64_t gammaVersion_ = 0;

  std::atomic<bool> closed_{false};
  std::atomic<bool> minimized_{false};
  std::atomic<std::uint64_t> lossEpoch_{0};

  // Main thread only.
  bool shut_ = false;
  int showing_ = -1;
  bool textureValid_ = false;  // the texture holds slot showing_ as the current ramp maps it
  int repaints_ = 0;  // presents still owed after the window changed
  std::uint64_t appliedGamma_ = 0;
  bool useLut_ = false;
  std::array<std::array<std::uint8_t, 256>, 3> lut_{};
  std::uint8_t mod_[3] = {255, 255, 255};
  std::vector<std::uint32_t> scratch_;
  // The window's own pixels while they are drawn into (no renderer then).
  SDL_Surface* surface_ = nullptr;
  bool surfaceValid_ = false;   // the surface holds slot showing_ as the current ramp maps it
  bool surfaceFailed_ = false;  // the window has no pixels of its own to draw into: keep the renderer
  std::vector<SDL_Rect> rects_;  // the regions copied this present (room for one a row)
};

}  // namespace sdl
