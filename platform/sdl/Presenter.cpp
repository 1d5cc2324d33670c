#include "platform/sdl/Presenter.h"

#include <chrono>

#include <algorithm>
#include <cstring>

#include "platform/sdl/Video.h"
#include "platform/sdl/Window.h"
#include "platform/vcl/Forms.h"

// Last: Xlib's macros (None, Bool ...) would clash with names above.
#include <SDL_syswm.h>
#include <X11/Xatom.h>

namespace sdl {

namespace {

// Main thread only.
std::vector<Presenter*>& Open() {
  static std::vector<Presenter*> presenters;
  return presenters;
}

std::atomic<std::uint64_t> g_presented{0}, g_full{0}, g_rows{0}, g_pixels{0}, g_sent{0};
// Taken while the program's statics start, which is as near to its start as we get.
const std::chrono::steady_clock::time_point g_programStart = std::chrono::steady_clock::now();
std::atomic<std::int64_t> g_firstPresentUs{-1}, g_markUs{-1}, g_firstAfterMarkUs{-1};

std::int64_t MicrosecondsSinceStart() {
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - g_programStart)
      .count();
}

// Changed rows closer than this are uploaded as one region.
constexpr std::int32_t kMergeGap = 8;
// After the window changed size or was uncovered, the next presents may still go to the old
// drawable (X servers without a window manager do this), so the picture is drawn this many times.
constexpr int kSettle = 3;

// The rows compared are scanned from either end in blocks of this many pixels.
constexpr std::int32_t kScanBlock = 16;

// Where rows a and b of n pixels, known to differ, first differ.
std::int32_t FirstDifference(const std::uint32_t* a, const std::uint32_t* b, std::int32_t n) {
  std::int32_t i = 0;
  for (; i + kScanBlock <= n; i += kScanBlock) {
    std::uint32_t d = 0;
    for (std::int32_t k = 0; k < kScanBlock; ++k) d |= a[i + k] ^ b[i + k];
    if (d) break;
  }
  while (a[i] == b[i]) ++i;
  return i;
}

// One past where rows a and b of n pixels, known to differ, last differ.
std::int32_t LastDifference(const std::uint32_t* a, const std::uint32_t* b, std::int32_t n) {
  std::int32_t i = n;
  for (; i >= kScanBlock; i -= kScanBlock) {
    std::uint32_t d = 0;
    for (std::int32_t k = 1; k <= kScanBlock; ++k) d |= a[i - k] ^ b[i - k];
    if (d) break;
  }
  while (a[i - 1] == b[i - 1]) --i;
  return i;
}

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

// Whether a window manager runs on the window's X server (it announces itself on the root window).
// Without one a full-screen request is answered by nobody, and SDL waits a tenth of a second for
// the answer; the window covering the display as a plain window is then the whole of it.
bool WindowManagerRunning(SDL_Window* w) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(w, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11) return true;
  Display* display = info.info.x11.display;
  const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", True);
  if (check == 0) return false;
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  const int status = XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False, XA_WINDOW, &type,
                                        &format, &count, &after, &data);
  const bool announced = status == Success && type == XA_WINDOW && format == 32 && count == 1;
  if (data) XFree(data);
  return announced;
}

// Whether this is SDL's own software renderer, and the window's own pixels are the X server's
// (not a texture of another renderer): such a window can be drawn into directly.
bool SdlSoftware(SDL_Renderer* renderer) {
  SDL_RendererInfo info;
  if (SDL_GetRendererInfo(renderer, &info) != 0 || std::strcmp(info.name, "software") != 0) return false;
  const char* hint = SDL_GetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION);
  return hint && (std::strcmp(hint, "0") == 0 || SDL_strcasecmp(hint, "false") == 0);
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
  if (WindowManagerRunning(w) && SDL_SetWindowFullscreen(w, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0) {
    if (owns) SDL_DestroyRenderer(renderer);
    return nullptr;
  }
  std::shared_ptr<Presenter> p(new Presenter(window, renderer, owns));
  p->software_ = owns && SdlSoftware(renderer);
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
  surface_ = nullptr;  // the window's own; SDL frees it with the window
  if (window_) {
    SDL_SetWindowFullscreen(sdlWindow_, 0);
    window_->Attach(nullptr);
  }
  window_ = nullptr;
  sdlWindow_ = nullptr;
}

void Presenter::WindowGone() { Close(); }

void Presenter::DropRenderer() {
  if (texture_) SDL_DestroyTexture(texture_);
  texture_ = nullptr;
  if (renderer_ && ownsRenderer_) SDL_DestroyRenderer(renderer_);
  renderer_ = nullptr;
  textureValid_ = false;
}

bool Presenter::MakeRenderer() {
  renderer_ = SDL_CreateRenderer(sdlWindow_, -1, SDL_RENDERER_SOFTWARE);
  if (!renderer_) return false;
  ownsRenderer_ = true;
  SDL_RenderSetLogicalSize(renderer_, width_, height_);
  return MakeTexture();
}

bool Presenter::ChoosePath() {
  if (software_ && !surfaceFailed_) {
    int w = 0, h = 0;
    SDL_GetWindowSize(sdlWindow_, &w, &h);
    if (w == width_ && h == height_) {
      // Nothing to scale: the window's own pixels are drawn into, which a renderer on the window
      // would own, so it goes first. The surface is asked for every time: SDL makes a new one
      // after the window changed size.
      if (renderer_) DropRenderer();
      SDL_Surface* s = SDL_GetWindowSurface(sdlWindow_);
      if (s && s->w == width_ && s->h == height_) {
        if (s != surface_) surfaceValid_ = false;
        surface_ = s;
        return true;
      }
      if (!s) surfaceFailed_ = true;
    }
  }
  surface_ = nullptr;
  surfaceValid_ = false;
  if (!renderer_ && (!software_ || !MakeRenderer())) return false;
  return texture_ != nullptr;
}

bool Presenter::MakeTexture() {
  if (texture_) SDL_DestroyTexture(texture_);
  if (!renderer_) return false;
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
      rects_.clear();
      rects_.reserve(static_cast<std::size_t>(height));
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
  surfaceValid_ = false;
  repaints_ = kSettle;
  // Without a renderer (the window is drawn into directly) the next present picks the way anew.
  if (renderer_) {
    SDL_RenderSetLogicalSize(renderer_, width, height);
    if (!MakeTexture()) return false;
  }
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
  // A frame flipped on the main thread itself (the black one the display opens with) is shown at
  // once: the message loop may not run again until the whole set-up is done.
  if (vcl::Application().IsMainThread()) Present();
  else WakePump();
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
  // The window's own pixels have no colour modulation: any ramp but the identity maps through lut.
  const bool wasMapped = useLut_ || mod_[0] != 255 || mod_[1] != 255 || mod_[2] != 255;
  const bool mapped = needLut || mod[0] != 255 || mod[1] != 255 || mod[2] != 255;
  if (mapped != wasMapped || (mapped && lut != lut_)) surfaceValid_ = false;
  useLut_ = needLut;
  lut_ = lut;
  std::copy(mod, mod + 3, mod_);
  repaints_ = kSettle;
}

const std::uint32_t* Presenter::Mapped(const std::uint32_t* now, const SDL_Rect& r, bool map, int* pitch) {
  const std::uint32_t* first = now + static_cast<std::size_t>(r.y) * width_ + r.x;
  if (!map) {
    *pitch = width_ * 4;
    return first;
  }
  std::uint32_t* out = scratch_.data();
  for (std::int32_t y = 0; y < r.h; ++y) {
    const std::uint32_t* in = first + static_cast<std::size_t>(y) * width_;
    for (std::int32_t x = 0; x < r.w; ++x) {
      const std::uint32_t p = in[x];
      *out++ = (static_cast<std::uint32_t>(lut_[0][(p >> 16) & 0xFF]) << 16) |
               (static_cast<std::uint32_t>(lut_[1][(p >> 8) & 0xFF]) << 8) | lut_[2][p & 0xFF];
    }
  }
  *pitch = r.w * 4;
  return scratch_.data();
}

void Presenter::CopyToSurface(const std::uint32_t* now, const SDL_Rect& r) {
  const bool map = useLut_ || mod_[0] != 255 || mod_[1] != 255 || mod_[2] != 255;
  int pitch = 0;
  const std::uint32_t* src = Mapped(now, r, map, &pitch);
  const SDL_PixelFormat* f = surface_->format;
  auto* dst = static_cast<std::uint8_t*>(surface_->pixels) + static_cast<std::size_t>(r.y) * surface_->pitch +
              static_cast<std::size_t>(r.x) * f->BytesPerPixel;
  if (f->format == SDL_PIXELFORMAT_RGB888) {
    const auto* in = reinterpret_cast<const std::uint8_t*>(src);
    for (std::int32_t y = 0; y < r.h; ++y)
      std::memcpy(dst + static_cast<std::size_t>(y) * surface_->pitch, in + static_cast<std::size_t>(y) * pitch,
                  static_cast<std::size_t>(r.w) * 4);
  } else {
    SDL_ConvertPixels(r.w, r.h, SDL_PIXELFORMAT_RGB888, src, pitch, f->format, dst, surface_->pitch);
  }
}

void Presenter::UploadRect(const std::uint32_t* now, std::int32_t x0, std::int32_t y0, std::int32_t x1,
                           std::int32_t y1) {
  const SDL_Rect r{x0, y0, x1 - x0, y1 - y0};
  if (surface_) {
    CopyToSurface(now, r);
    rects_.push_back(r);  // room for one a row was made with the buffers
  } else {
    int pitch = 0;
    const std::uint32_t* src = Mapped(now, r, useLut_, &pitch);
    SDL_UpdateTexture(texture_, &r, src, pitch);
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
    const std::int32_t l = FirstDifference(a, b, width_), r = LastDifference(a, b, width_);
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

bool Presenter::PresentWithRenderer(int take) {
  // The slots read here are ours until handed back: Taking and Showing are never drawn on.
  if (take >= 0) {
    const std::uint32_t* was = textureValid_ && showing_ >= 0 ? slots_[showing_].pixels.data() : nullptr;
    Upload(slots_[take].pixels.data(), was);
    textureValid_ = true;
  } else if (!textureValid_ && showing_ >= 0) {
    Upload(slots_[showing_].pixels.data(), nullptr);
    textureValid_ = true;
  }
  if (take < 0 && showing_ < 0) return false;
  SDL_SetTextureColorMod(texture_, mod_[0], mod_[1], mod_[2]);
  SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
  SDL_RenderClear(renderer_);
  SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
  SDL_RenderPresent(renderer_);
  int w = 0, h = 0;
  SDL_GetWindowSize(sdlWindow_, &w, &h);
  g_sent += static_cast<std::uint64_t>(w) * static_cast<std::uint64_t>(h);
  return true;
}

bool Presenter::PresentToSurface(int take) {
  const int source = take >= 0 ? take : showing_;
  if (source < 0) return false;
  rects_.clear();
  const bool whole = !surfaceValid_ || showing_ < 0;
  if (SDL_MUSTLOCK(surface_) && SDL_LockSurface(surface_) != 0) {
    surfaceValid_ = false;
    return false;
  }
  if (whole)
    Upload(slots_[source].pixels.data(), nullptr);
  else if (take >= 0)
    Upload(slots_[take].pixels.data(), slots_[showing_].pixels.data());
  if (SDL_MUSTLOCK(surface_)) SDL_UnlockSurface(surface_);
  surfaceValid_ = true;
  // After a change of the window the whole of it goes out again (see kSettle); otherwise only
  // the regions that changed.
  std::uint64_t sent = 0;
  int rc = 0;
  if (whole || repaints_ > 0) {
    rc = SDL_UpdateWindowSurface(sdlWindow_);
    sent = static_cast<std::uint64_t>(width_) * static_cast<std::uint64_t>(height_);
  } else if (!rects_.empty()) {
    rc = SDL_UpdateWindowSurfaceRects(sdlWindow_, rects_.data(), static_cast<int>(rects_.size()));
    for (const SDL_Rect& r : rects_) sent += static_cast<std::uint64_t>(r.w) * static_cast<std::uint64_t>(r.h);
  }
  if (rc != 0) {
    // The surface went with a change of the window's size: the next present fetches the new one.
    surface_ = nullptr;
    surfaceValid_ = false;
    return false;
  }
  g_sent += sent;
  return true;
}

bool Presenter::Present() {
  if (closed_ || width_ <= 0 || !ChoosePath()) return false;
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
  const bool valid = surface_ ? surfaceValid_ : textureValid_;
  if (take < 0 && repaints_ == 0 && valid) return false;

  const bool shown = surface_ ? PresentToSurface(take) : PresentWithRenderer(take);
  if (shown) {
    if (g_presented++ == 0) g_firstPresentUs = MicrosecondsSinceStart();
    std::int64_t none = -1;
    if (g_markUs.load() >= 0) g_firstAfterMarkUs.compare_exchange_strong(none, MicrosecondsSinceStart());
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
      surfaceValid_ = false;
      repaints_ = kSettle;
      break;
    // Uncovered: the window's pixels are still ours and are sent out whole again.
    case SDL_WINDOWEVENT_EXPOSED: repaints_ = kSettle; break;
    // A new size gets new window pixels, drawn whole (and the way to draw is chosen again).
    case SDL_WINDOWEVENT_SIZE_CHANGED:
    case SDL_WINDOWEVENT_RESIZED:
      surfaceValid_ = false;
      repaints_ = kSettle;
      break;
    default: break;
  }
}

void Presenter::HandleRenderReset(bool deviceLost) {
  ++lossEpoch_;
  textureValid_ = false;
  surfaceValid_ = false;
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
  const auto ms = [](std::int64_t us) { return us < 0 ? -1.0 : static_cast<double>(us) / 1000.0; };
  return PresentStats{g_presented.load(), ms(g_firstPresentUs.load()), ms(g_markUs.load()),
                      ms(g_firstAfterMarkUs.load())};
}

void MarkStats() { g_markUs = MicrosecondsSinceStart(); }

Presenter::Totals Presenter::Counted() {
  return Totals{g_presented.load(), g_full.load(), g_rows.load(), g_pixels.load(), g_sent.load()};
}

}  // namespace sdl
