#include "platform/sdl/Presenter.h"

#include <chrono>

#include <algorithm>
#include <cstring>

#include "platform/sdl/Video.h"
#include "platform/sdl/Window.h"

// Last: Xlib's macros (None, Bool ...) would clash with names above.
#include <SDL_syswm.h>

namespace sdl {

namespace {

// Main thread only.
std::vector<Presenter*>& Open() {
  static std::vector<Presenter*> presenters;
  return presenters;
}

std::atomic<std::uint64_t> g_presented{0}, g_full{0}, g_rows{0}, g_pixels{0};
// Taken while the program's statics start, which is as near to its start as we get.
const std::chrono::steady_clock::time_point g_programStart = std::chrono::steady_clock::now();
std::atomic<std::int64_t> g_firstPresentUs{-1};

// Changed rows closer than this are uploaded as one region.
constexpr std::int32_t kMergeGap = 8;
// After the window changed size or was uncovered, the next presents may still go to the old
// drawable (X servers without a window manager do this), so the picture is drawn this many times.
constexpr int kSettle = 3;

// Whether the renderer is OpenGL rasterised on the processor (Mesa's llvmpipe, softpipe, swrast).
bool SoftwareOpenGL(SDL_Renderer* renderer) {
  SDL_RendererInfo info;
  if (SDL_GetRendererInfo(renderer, &info) != 0 || std::strncmp(info.name, "opengl", 6) != 0) return false;
  using GetString = const unsigned char* (*)(unsigned);
  auto getString = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
  if (!getString) return false;
  constexpr unsigned kGlRenderer = 0x1F01;
  const auto* name = reinterpret_cast<const char*>(getString(kGlRenderer));
  if (!name) return false;
  for (const char* soft : {"llvmpipe", "softpipe", "Software Rasterizer", "swrast"})
    if (std::strstr(name, soft)) return true;
  return false;
}

// Whether the X server can draw OpenGL on a graphics card (direct rendering). Without it OpenGL is
// drawn by the processor, and merely starting it costs a third of a second; SDL's own software
// path is then the better one. Other window systems are left to SDL's choice.
bool DirectRendering(SDL_Window* w) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(w, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11) return true;
  int opcode = 0, event = 0, error = 0;
  return XQueryExtension(info.info.x11.display, "DRI3", &opcode, &event, &error) ||
         XQueryExtension(info.info.x11.display, "DRI2", &opcode, &event, &error);
}

}  // namespace

std::shared_ptr<Presenter> Presenter::Open(Window& window, int display) {
  SDL_Window* w = window.Get();
  SDL_ShowWindow(w);
  // The renderer first: making one may recreate the native window, which forgets its placement.
  bool owns = false;
  SDL_Renderer* renderer = SDL_GetRenderer(w);
#if defined(__SANITIZE_THREAD__)
  // Mesa's software OpenGL synchronises its worker threads in ways ThreadSanitizer cannot see.
  if (!renderer && !SDL_GetHint(SDL_HINT_RENDER_DRIVER)) {
    SDL_SetHint(SDL_HINT_RENDER_DRIVER, "software");
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");  // the window's own pixels without OpenGL too
  }
#endif
  if (!renderer && !SDL_GetHint(SDL_HINT_RENDER_DRIVER) && !DirectRendering(w)) {
    SDL_SetHint(SDL_HINT_RENDER_DRIVER, "software");
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  }
  if (!renderer) {
    renderer = SDL_CreateRenderer(w, -1, 0);
    if (renderer && !SDL_GetHint(SDL_HINT_RENDER_DRIVER) && SoftwareOpenGL(renderer)) {
      // OpenGL drawn by the processor (a virtual X server, no graphics card) costs far more than
      // SDL's own software path: a full frame takes about three times as long under Xvfb.
      SDL_DestroyRenderer(renderer);
      SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
      renderer = nullptr;
    }
    if (!renderer) renderer = SDL_CreateRenderer(w, -1, SDL_RENDERER_SOFTWARE);
    owns = renderer != nullptr;
  }
  if (!renderer) return nullptr;
  if (display < 0) display = SDL_GetWindowDisplayIndex(w);
  // Cover the display as a plain window first: full screen is a request to the window manager,
  // and without one (a bare X server) the window would keep its old place and size.
  SDL_Rect bounds;
  if (display >= 0 && SDL_GetDisplayBounds(display, &bounds) == 0) {
    SDL_SetWindowBordered(w, SDL_FALSE);
    SDL_SetWindowPosition(w, bounds.x, bounds.y);
    SDL_SetWindowSize(w, bounds.w, bounds.h);
  }
  SDL_RaiseWindow(w);
  if (SDL_SetWindowFullscreen(w, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0) {
    if (owns) SDL_DestroyRenderer(renderer);
    return nullptr;
  }
  std::shared_ptr<Presenter> p(new Presenter(window, renderer, owns));
  p->repaints_ = kSettle;
  window.Attach(p.get());
  sdl::Open().push_back(p.get());
  return p;
}

Presenter::Presenter(Window& window, SDL_Renderer* renderer, bool ownsRenderer)
    : window_(&window), sdlWindow_(window.Get()), renderer_(renderer), ownsRenderer_(ownsRenderer) {
  for (int i = 0; i < 256; ++i) ramp_.red[i] = ramp_.green[i] = ramp_.blue[i] = static_cast<std::uint16_t>(i * 257);
}

Presenter::~Presenter() { Close(); }

void Presenter::Close() {
  if (shut_) return;
  shut_ = true;
  closed_ = true;
  auto& open = sdl::Open();
  open.erase(std::remove(open.begin(), open.end(), this), open.end());
  if (texture_) SDL_DestroyTexture(texture_);
  texture_ = nullptr;
  if (renderer_ && ownsRenderer_) SDL_DestroyRenderer(renderer_);
  renderer_ = nullptr;
  if (window_) {
    SDL_SetWindowFullscreen(sdlWindow_, 0);
    window_->Attach(nullptr);
  }
  window_ = nullptr;
  sdlWindow_ = nullptr;
}

void Presenter::WindowGone() { Close(); }

bool Presenter::MakeTexture() {
  if (texture_) SDL_DestroyTexture(texture_);
  texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, width_, height_);
  if (!texture_) return false;
  SDL_SetTextureScaleMode(texture_, SDL_ScaleModeLinear);
  textureValid_ = false;
  repaints_ = kSettle;
  return true;
}

bool Presenter::SetMode(std::int32_t width, std::int32_t height) {
  if (closed_ || width <= 0 || height <= 0) return false;
  const std::size_t n = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  {
    std::lock_guard lock(mutex_);
    try {
      for (Slot& s : slots_) s.pixels.assign(n, 0);  // black until the first frame
      scratch_.assign(n, 0);
    } catch (const std::bad_alloc&) {
      for (Slot& s : slots_) s.pixels = {};
      return false;
    }
    for (Slot& s : slots_) s.state = State::Free;
    back_ = 0;
    slots_[0].state = State::Drawing;
    ready_ = front_ = 1;  // a black screen is the first thing shown
    slots_[1].state = State::Ready;
    pending_ = -1;
  }
  width_ = width;
  height_ = height;
  showing_ = -1;
  SDL_RenderSetLogicalSize(renderer_, width, height);
  if (!MakeTexture()) return false;
  WakePump();
  return true;
}

int Presenter::FreeSlot() const {
  for (int i = 0; i < kSlots; ++i)
    if (slots_[i].state == State::Free && !slots_[i].pixels.empty()) return i;
  return -1;
}

void Presenter::Publish(int slot) {
  if (ready_ >= 0) slots_[ready_].state = State::Free;  // never shown: replaced by a newer frame
  slots_[slot].state = State::Ready;
  ready_ = front_ = slot;
}

std::uint32_t* Presenter::Back() {
  std::lock_guard lock(mutex_);
  return back_ >= 0 ? slots_[back_].pixels.data() : nullptr;
}

std::uint32_t* Presenter::Front() {
  std::lock_guard lock(mutex_);
  return front_ >= 0 ? slots_[front_].pixels.data() : nullptr;
}

Presenter::FlipResult Presenter::Flip() {
  {
    std::lock_guard lock(mutex_);
    if (closed_) return FlipResult::Closed;
    if (back_ < 0) return FlipResult::Closed;
    const int next = FreeSlot();
    if (next < 0) return FlipResult::Busy;
    Publish(back_);
    slots_[next].state = State::Drawing;
    back_ = next;
  }
  WakePump();
  return FlipResult::Done;
}

std::uint32_t* Presenter::BeginFrontWrite() {
  std::lock_guard lock(mutex_);
  if (closed_ || front_ < 0 || pending_ >= 0) return nullptr;
  const int slot = FreeSlot();
  if (slot < 0) return nullptr;
  // The copy is made under the lock: the front could otherwise be replaced and recycled meanwhile.
  // Drawing on the front is rare (never per frame), so the frame thread seldom waits for it.
  slots_[slot].pixels = slots_[front_].pixels;
  slots_[slot].state = State::Drawing;
  pending_ = slot;
  return slots_[slot].pixels.data();
}

void Presenter::EndFrontWrite() {
  {
    std::lock_guard lock(mutex_);
    if (pending_ < 0) return;
    Publish(pending_);
    pending_ = -1;
  }
  WakePump();
}

void Presenter::SetGamma(const ddraw::DDGAMMARAMP& ramp) {
  {
    std::lock_guard lock(mutex_);
    ramp_ = ramp;
    ++gammaVersion_;
  }
  WakePump();
}

void Presenter::ApplyGamma(const ddraw::DDGAMMARAMP& ramp) {
  const std::array<const std::array<std::uint16_t, 256>*, 3> channels{&ramp.red, &ramp.green, &ramp.blue};
  std::array<std::array<std::uint8_t, 256>, 3> lut;
  bool needLut = false;
  std::uint8_t mod[3];
  for (int c = 0; c < 3; ++c) {
    bool identity = true, black = true;
    for (int i = 0; i < 256; ++i) {
      const auto v = static_cast<std::uint8_t>((*channels[c])[i] >> 8);
      lut[c][i] = v;
      identity = identity && v == i;
      black = black && v == 0;
    }
    // Colour modulation is exact only at its ends (x * 255 / 255 and x * 0); any other ramp goes
    // through the table, so every renderer shows exactly ramp[v] >> 8.
    mod[c] = black ? 0 : 255;
    needLut = needLut || (!identity && !black);
  }
  if (needLut) mod[0] = mod[1] = mod[2] = 255;
  if (needLut != useLut_ || (needLut && lut != lut_)) textureValid_ = false;
  useLut_ = needLut;
  lut_ = lut;
  std::copy(mod, mod + 3, mod_);
  repaints_ = kSettle;
}

void Presenter::UploadRect(const std::uint32_t* now, std::int32_t x0, std::int32_t y0, std::int32_t x1,
                           std::int32_t y1) {
  const SDL_Rect r{x0, y0, x1 - x0, y1 - y0};
  if (!useLut_) {
    SDL_UpdateTexture(texture_, &r, now + static_cast<std::size_t>(y0) * width_ + x0, width_ * 4);
  } else {
    const std::int32_t w = x1 - x0;
    std::uint32_t* out = scratch_.data();
    for (std::int32_t y = y0; y < y1; ++y) {
      const std::uint32_t* in = now + static_cast<std::size_t>(y) * width_ + x0;
      for (std::int32_t x = 0; x < w; ++x) {
        const std::uint32_t p = in[x];
        *out++ = (static_cast<std::uint32_t>(lut_[0][(p >> 16) & 0xFF]) << 16) |
                 (static_cast<std::uint32_t>(lut_[1][(p >> 8) & 0xFF]) << 8) | lut_[2][p & 0xFF];
      }
    }
    SDL_UpdateTexture(texture_, &r, scratch_.data(), w * 4);
  }
  g_rows += static_cast<std::uint64_t>(r.h);
  g_pixels += static_cast<std::uint64_t>(r.w) * static_cast<std::uint64_t>(r.h);
}

void Presenter::Upload(const std::uint32_t* now, const std::uint32_t* was) {
  if (!was) {
    UploadRect(now, 0, 0, width_, height_);
    ++g_full;
    return;
  }
  const std::size_t rowBytes = static_cast<std::size_t>(width_) * 4;
  std::int32_t top = -1, bottom = 0, left = 0, right = 0, lastDirty = -1;
  for (std::int32_t y = 0; y < height_; ++y) {
    const std::uint32_t* a = now + static_cast<std::size_t>(y) * width_;
    const std::uint32_t* b = was + static_cast<std::size_t>(y) * width_;
    if (std::memcmp(a, b, rowBytes) == 0) continue;
    std::int32_t l = 0, r = width_;
    while (a[l] == b[l]) ++l;
    while (a[r - 1] == b[r - 1]) --r;
    if (top >= 0 && y - lastDirty > kMergeGap) {
      UploadRect(now, left, top, right, bottom);
      top = -1;
    }
    if (top < 0) {
      top = y;
      left = l;
      right = r;
    } else {
      left = std::min(left, l);
      right = std::max(right, r);
    }
    bottom = y + 1;
    lastDirty = y;
  }
  if (top >= 0) UploadRect(now, left, top, right, bottom);
}

bool Presenter::Present() {
  if (closed_ || !renderer_ || !texture_) return false;
  int take = -1;
  bool gammaChanged = false;
  ddraw::DDGAMMARAMP ramp;
  {
    std::lock_guard lock(mutex_);
    take = ready_;
    if (take >= 0) {
      slots_[take].state = State::Taking;
      ready_ = -1;
    }
    if (gammaVersion_ != appliedGamma_) {
      ramp = ramp_;
      appliedGamma_ = gammaVersion_;
      gammaChanged = true;
    }
  }
  if (gammaChanged) ApplyGamma(ramp);
  if (take < 0 && repaints_ == 0 && textureValid_) return false;

  // The slots read here are ours until handed back: Taking and Showing are never drawn on.
  if (take >= 0) {
    const std::uint32_t* was = textureValid_ && showing_ >= 0 ? slots_[showing_].pixels.data() : nullptr;
    Upload(slots_[take].pixels.data(), was);
    textureValid_ = true;
  } else if (!textureValid_ && showing_ >= 0) {
    Upload(slots_[showing_].pixels.data(), nullptr);
    textureValid_ = true;
  }
  if (take >= 0 || showing_ >= 0) {
    SDL_SetTextureColorMod(texture_, mod_[0], mod_[1], mod_[2]);
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
    SDL_RenderPresent(renderer_);
    if (g_presented++ == 0)
      g_firstPresentUs = std::chrono::duration_cast<std::chrono::microseconds>(
                             std::chrono::steady_clock::now() - g_programStart)
                             .count();
  }
  if (repaints_ > 0) --repaints_;
  if (take >= 0) {
    std::lock_guard lock(mutex_);
    if (showing_ >= 0) slots_[showing_].state = State::Free;
    slots_[take].state = State::Showing;
    showing_ = take;
  }
  return true;
}

void Presenter::HandleWindowEvent(const SDL_WindowEvent& event) {
  switch (event.event) {
    case SDL_WINDOWEVENT_MINIMIZED:
      minimized_ = true;
      ++lossEpoch_;
      break;
    case SDL_WINDOWEVENT_RESTORED:
    case SDL_WINDOWEVENT_MAXIMIZED:
    case SDL_WINDOWEVENT_SHOWN:
      minimized_ = false;
      repaints_ = kSettle;
      break;
    case SDL_WINDOWEVENT_EXPOSED:
    case SDL_WINDOWEVENT_SIZE_CHANGED:
    case SDL_WINDOWEVENT_RESIZED: repaints_ = kSettle; break;
    default: break;
  }
}

void Presenter::HandleRenderReset(bool deviceLost) {
  ++lossEpoch_;
  textureValid_ = false;
  repaints_ = kSettle;
  if (deviceLost && renderer_) MakeTexture();
}

void Presenter::PresentAll() {
  // A presenter may close while drawing (it never does today); walk a copy of the list.
  Presenter* list[8];
  const std::size_t n = std::min<std::size_t>(sdl::Open().size(), 8);
  std::copy_n(sdl::Open().begin(), n, list);
  for (std::size_t i = 0; i < n; ++i) list[i]->Present();
}

bool Presenter::AnyPending() {
  for (Presenter* p : sdl::Open()) {
    std::lock_guard lock(p->mutex_);
    if (p->ready_ >= 0) return true;
  }
  return false;
}

void Presenter::RenderResetAll(bool deviceLost) {
  for (Presenter* p : sdl::Open()) p->HandleRenderReset(deviceLost);
}

PresentStats Stats() {
  const std::int64_t first = g_firstPresentUs.load();
  return PresentStats{g_presented.load(), first < 0 ? -1.0 : static_cast<double>(first) / 1000.0};
}

Presenter::Totals Presenter::Counted() {
  return Totals{g_presented.load(), g_full.load(), g_rows.load(), g_pixels.load()};
}

}  // namespace sdl
