// The SDL display under a real X server: a form's window goes full screen, frames flipped on
// another thread are shown by the main thread's pump, only changed regions are uploaded, the gamma
// ramp is applied at scan-out, and input reaches the form.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <tuple>
#include <string>
#include <vector>
#include <thread>

#include "XScreen.h"
#include "platform/ddraw/Backend.h"
#include "platform/sdl/EventPump.h"
#include "platform/sdl/Presenter.h"
#include "platform/sdl/Video.h"
#include "platform/sdl/Window.h"

namespace ddraw::testing {
namespace {

class SdlDisplay : public ::testing::Test {
 protected:
  static constexpr int kW = 1024, kH = 768;
  // The picture's size; the screen's own for a picture shown one to one.
  virtual bool AtScreenSize() const { return false; }

  void SetUp() override {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display";
    ASSERT_TRUE(sdl::InstallWindowSystem());
    ASSERT_TRUE(screen_.Ok());
    w_ = AtScreenSize() ? screen_.Width() : kW;
    h_ = AtScreenSize() ? screen_.Height() : kH;
    form_ = std::make_unique<vcl::TForm>(nullptr);
    form_->SetBorderStyle(vcl::TBorderStyle::bsNone);
    form_->SetWidth(320);
    form_->SetHeight(200);
    window_ = form_->Handle();
    ASSERT_NE(window_, nullptr);
    form_->Show();
    UseBackend(BackendKind::Sdl);
    ASSERT_EQ(DirectDrawCreate(nullptr, &dd, nullptr), DD_OK);
    ASSERT_EQ(dd->SetCooperativeLevel(window_, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
    ASSERT_EQ(dd->SetDisplayMode(w_, h_, 32), DD_OK);
    DDSURFACEDESC desc;
    desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    desc.dwBackBufferCount = 1;
    ASSERT_EQ(dd->CreateSurface(&desc, &prim, nullptr), DD_OK);
    DDSCAPS caps{DDSCAPS_BACKBUFFER};
    ASSERT_EQ(prim->GetAttachedSurface(&caps, &back), DD_OK);
    // Where the picture lands on the screen: scaled to fit, centred.
    const double scale = std::min(screen_.Width() / double(w_), screen_.Height() / double(h_));
    scale_ = scale;
    offX_ = (screen_.Width() - w_ * scale) / 2;
    offY_ = (screen_.Height() - h_ * scale) / 2;
  }

  void TearDown() override {
    if (back) back->Release();
    if (prim) prim->Release();
    if (dd) dd->Release();
    form_.reset();
    vcl::Application().ProcessMessages();
  }

  void FillBack(std::uint32_t colour, const RECT* r = nullptr) {
    DDBLTFX fx;
    fx.dwFillColor = colour;
    ASSERT_EQ(back->Blt(r, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);
  }

  // Flips on a thread of its own, as the frame timer does.
  void FlipOnFrameThread() {
    HRESULT hr = E_FAIL;
    std::thread frame([&] { hr = prim->Flip(nullptr, 0); });
    frame.join();
    ASSERT_EQ(hr, DD_OK);
  }

  // Pumps the main thread's events until the screen shows `want` at picture point (x, y).
  std::uint32_t ShownAt(int x, int y, std::uint32_t want) {
    const int sx = static_cast<int>(offX_ + (x + 0.5) * scale_), sy = static_cast<int>(offY_ + (y + 0.5) * scale_);
    std::uint32_t got = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    do {
      vcl::Application().ProcessMessages();
      got = screen_.Pixel(sx, sy);
      if (got == want) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    } while (std::chrono::steady_clock::now() < deadline);
    return got;
  }

  void PumpUntilPresented(std::uint64_t count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (sdl::Presenter::Counted().presented < count && std::chrono::steady_clock::now() < deadline)
      vcl::Application().ProcessMessages();
  }

  // Pumps a while, so that the presents owed after the window changed are done.
  void Settle() {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
    while (std::chrono::steady_clock::now() < until) {
      vcl::Application().ProcessMessages();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }

  // A small block changes between two frames: it is shown, and only it is uploaded.
  void ShowsAChangedBlock() {
    FillBack(0x00204080);
    FlipOnFrameThread();
    EXPECT_EQ(ShownAt(kW / 2, kH / 2, 0x204080), 0x204080u);
    EXPECT_EQ(ShownAt(5, 5, 0x204080), 0x204080u);
    Settle();
    before_ = sdl::Presenter::Counted();

    // The next frame changes one small block; the rest of the picture is the same.
    FillBack(0x00204080);
    RECT block{100, 300, 300, 400};
    FillBack(0x00FF0000, &block);
    FlipOnFrameThread();
    PumpUntilPresented(before_.presented + 1);
    EXPECT_EQ(ShownAt(200, 350, 0xFF0000), 0xFF0000u);
    EXPECT_EQ(ShownAt(600, 350, 0x204080), 0x204080u);
    after_ = sdl::Presenter::Counted();
    EXPECT_EQ(after_.fullUploads, before_.fullUploads);
    EXPECT_EQ(after_.rowsUploaded - before_.rowsUploaded, 100u);
    EXPECT_EQ(after_.pixelsUploaded - before_.pixelsUploaded, 200u * 100u);

    // An unchanged frame uploads nothing and still shows.
    FillBack(0x00204080);
    FillBack(0x00FF0000, &block);
    FlipOnFrameThread();
    PumpUntilPresented(after_.presented + 1);
    EXPECT_EQ(sdl::Presenter::Counted().pixelsUploaded, after_.pixelsUploaded);
    EXPECT_EQ(ShownAt(200, 350, 0xFF0000), 0xFF0000u);
  }

  void GammaRampDims() {
    DDCAPS caps;
    ASSERT_EQ(dd->GetCaps(&caps, nullptr), DD_OK);
    EXPECT_TRUE(caps.dwCaps2 & DDCAPS2_PRIMARYGAMMA);
    FillBack(0x00204080);
    FlipOnFrameThread();
    ASSERT_EQ(ShownAt(kW / 2, kH / 2, 0x204080), 0x204080u);

    IDirectDrawGammaControl* gamma = nullptr;
    ASSERT_EQ(prim->QueryInterface(IID_IDirectDrawGammaControl, reinterpret_cast<void**>(&gamma)), DD_OK);
    struct Level {
      int step;
      std::uint32_t shown;
    };
    for (Level level : {Level{128, 0x102040}, Level{0, 0x000000}, Level{300, 0x254B96}, Level{256, 0x204080}}) {
      DDGAMMARAMP ramp;
      for (int i = 0; i < 256; ++i)
        ramp.red[i] = ramp.green[i] = ramp.blue[i] = static_cast<std::uint16_t>(i * level.step);
      ASSERT_EQ(gamma->SetGammaRamp(0, &ramp), DD_OK);
      EXPECT_EQ(ShownAt(kW / 2, kH / 2, level.shown), level.shown) << "ramp step " << level.step;
    }
    // A changed block under a dimming ramp is dimmed too.
    DDGAMMARAMP half;
    for (int i = 0; i < 256; ++i) half.red[i] = half.green[i] = half.blue[i] = static_cast<std::uint16_t>(i * 128);
    ASSERT_EQ(gamma->SetGammaRamp(0, &half), DD_OK);
    RECT block{400, 400, 440, 420};
    FillBack(0x00204080);
    FillBack(0x00FF8040, &block);
    FlipOnFrameThread();
    EXPECT_EQ(ShownAt(420, 410, 0x7F4020), 0x7F4020u);
    EXPECT_EQ(ShownAt(kW / 2, kH / 2, 0x102040), 0x102040u);
    gamma->Release();

    // The composed picture is untouched by the ramp.
    DDSURFACEDESC d;
    ASSERT_EQ(prim->Lock(nullptr, &d, 0, nullptr), DD_OK);
    EXPECT_EQ(static_cast<std::uint32_t*>(d.lpSurface)[w_ * (kH / 2) + kW / 2], 0x00204080u);
    prim->Unlock(nullptr);
  }

  XScreen screen_;
  int w_ = kW, h_ = kH;
  sdl::Presenter::Totals before_, after_;
  std::unique_ptr<vcl::TForm> form_;
  vcl::HWND window_ = nullptr;
  IDirectDraw* dd = nullptr;
  IDirectDrawSurface* prim = nullptr;
  IDirectDrawSurface* back = nullptr;
  double scale_ = 1, offX_ = 0, offY_ = 0;
};

TEST_F(SdlDisplay, FlippedFramesAreShownAndOnlyChangesUploaded) {
  auto* sdlWindow = sdl::Window::From(window_);
  ASSERT_NE(sdlWindow, nullptr);
  // The window covers the whole display (without a window manager, as a plain borderless window:
  // nobody would answer a full-screen request).
  SDL_Rect bounds{}, at{};
  ASSERT_EQ(SDL_GetDisplayBounds(SDL_GetWindowDisplayIndex(sdlWindow->Get()), &bounds), 0);
  SDL_GetWindowPosition(sdlWindow->Get(), &at.x, &at.y);
  SDL_GetWindowSize(sdlWindow->Get(), &at.w, &at.h);
  EXPECT_EQ(std::tie(at.x, at.y, at.w, at.h), std::tie(bounds.x, bounds.y, bounds.w, bounds.h));
  EXPECT_TRUE(SDL_GetWindowFlags(sdlWindow->Get()) & SDL_WINDOW_BORDERLESS);

  ShowsAChangedBlock();
}

// The frame thread flips as fast as it can while the main thread shows what it gets: no frame is
// waited for, and the last one flipped is the one left on the screen.
TEST_F(SdlDisplay, FramesFlowWhileTheMainThreadPresents) {
  std::atomic<bool> done{false};
  std::atomic<int> refused{0};
  std::thread frame([&] {
    for (std::uint32_t i = 1; i <= 200; ++i) {
      DDBLTFX fx;
      fx.dwFillColor = i == 200 ? 0x00C08040u : (i * 0x010305u) & 0x00FFFFFFu;
      if (back->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx) != DD_OK) ++refused;
      HRESULT hr;
      while ((hr = prim->Flip(nullptr, 0)) == DDERR_WASSTILLDRAWING) {
      }
      if (hr != DD_OK) ++refused;
    }
    done = true;
  });
  while (!done) vcl::Application().ProcessMessages();
  frame.join();
  EXPECT_EQ(refused.load(), 0);
  EXPECT_EQ(ShownAt(kW / 2, kH / 2, 0xC08040), 0xC08040u);
}

TEST_F(SdlDisplay, GammaRampDimsTheScreenNotThePicture) { GammaRampDims(); }

TEST_F(SdlDisplay, MinimisedWindowLosesTheChainUntilRestored) {
  auto* w = sdl::Window::From(window_);
  SDL_Event e{};
  e.type = SDL_WINDOWEVENT;
  e.window.windowID = SDL_GetWindowID(w->Get());
  e.window.event = SDL_WINDOWEVENT_MINIMIZED;
  sdl::Dispatch(e);
  EXPECT_EQ(prim->IsLost(), DDERR_SURFACELOST);
  EXPECT_EQ(back->IsLost(), DDERR_SURFACELOST);
  EXPECT_EQ(prim->Flip(nullptr, 0), DDERR_SURFACELOST);
  EXPECT_NE(prim->Restore(), DD_OK) << "nothing to restore onto while minimised";
  e.window.event = SDL_WINDOWEVENT_RESTORED;
  sdl::Dispatch(e);
  EXPECT_EQ(prim->Restore(), DD_OK);
  EXPECT_EQ(back->IsLost(), DD_OK);

  SDL_Event reset{};
  reset.type = SDL_RENDER_DEVICE_RESET;
  sdl::Dispatch(reset);
  EXPECT_EQ(prim->IsLost(), DDERR_SURFACELOST);
  ASSERT_EQ(prim->Restore(), DD_OK);
  // The new texture shows the next frame whole.
  FillBack(0x00336699);
  FlipOnFrameThread();
  EXPECT_EQ(ShownAt(kW / 2, kH / 2, 0x336699), 0x336699u);
}

TEST_F(SdlDisplay, ReleasingTheDisplayGivesTheWindowBack) {
  SDL_Window* w = sdl::Window::From(window_)->Get();
  back->Release();
  back = nullptr;
  // A surface kept past the display's end does not reach the screen any more.
  dd->Release();
  dd = nullptr;
  EXPECT_FALSE(SDL_GetWindowFlags(w) & (SDL_WINDOW_FULLSCREEN | SDL_WINDOW_FULLSCREEN_DESKTOP));
  EXPECT_EQ(prim->IsLost(), DDERR_SURFACELOST);
  EXPECT_EQ(prim->Flip(nullptr, 0), DDERR_SURFACELOST);
  EXPECT_NE(prim->Restore(), DD_OK);
}

TEST_F(SdlDisplay, InputReachesTheFormAndTheApplication) {
  std::vector<std::uint16_t> downs;
  std::string chars;
  form_->OnKeyDown = [&](vcl::TObject*, std::uint16_t& key, vcl::TShiftState) { downs.push_back(key); };
  form_->OnKeyPress = [&](vcl::TObject*, char& key) { chars.push_back(key); };
  const Uint32 id = SDL_GetWindowID(sdl::Window::From(window_)->Get());
  auto key = [&](SDL_Keycode k) {
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.windowID = id;
    e.key.keysym.sym = k;
    sdl::Dispatch(e);
  };
  key(SDLK_F2);
  key(SDLK_F3);
  key(SDLK_ESCAPE);
  key(SDLK_q);
  key(SDLK_7);
  EXPECT_EQ(downs, (std::vector<std::uint16_t>{113, 114, 27, 'Q', '7'}));
  SDL_Event text{};
  text.type = SDL_TEXTINPUT;
  text.text.windowID = id;
  std::strcpy(text.text.text, "a\xC3\xA9\xE2\x82\xAC\xE4\xB8\xAD");  // a, e-acute, euro sign, a CJK character
  sdl::Dispatch(text);
  EXPECT_EQ(chars, std::string("\x1B" "a\xE9\x80"));

  SDL_Event focus{};
  focus.type = SDL_WINDOWEVENT;
  focus.window.windowID = id;
  focus.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
  sdl::Dispatch(focus);
  EXPECT_FALSE(vcl::Application().Active());
  focus.window.event = SDL_WINDOWEVENT_FOCUS_GAINED;
  sdl::Dispatch(focus);
  EXPECT_TRUE(vcl::Application().Active());
  focus.window.event = SDL_WINDOWEVENT_CLOSE;
  sdl::Dispatch(focus);
  EXPECT_TRUE(form_->Closed());
}

// Real keys and pointer movement from the X server (sent with xdotool) reach the form; a window
// appearing under a resting pointer is not taken for a movement.
TEST_F(SdlDisplay, XInputReachesTheForm) {
  if (std::system("command -v xdotool >/dev/null 2>&1") != 0) GTEST_SKIP() << "xdotool is not installed";
  std::vector<std::uint16_t> downs;
  std::string chars;
  int moves = 0;
  form_->OnKeyDown = [&](vcl::TObject*, std::uint16_t& key, vcl::TShiftState) { downs.push_back(key); };
  form_->OnKeyPress = [&](vcl::TObject*, char& key) { chars.push_back(key); };
  form_->OnMouseMove = [&](vcl::TObject*, vcl::TShiftState, int, int) { ++moves; };
  auto pumpFor = [&](int ms, const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done() && std::chrono::steady_clock::now() < deadline) {
      vcl::Application().ProcessMessages();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  };
  auto never = [] { return false; };
  pumpFor(200, never);  // the window settles in full screen
  ASSERT_EQ(std::system("xdotool mousemove 300 300"), 0);
  pumpFor(200, never);
  ASSERT_EQ(std::system("xdotool mousemove 400 420"), 0);
  pumpFor(5000, [&] { return moves > 0; });
  EXPECT_GT(moves, 0);

  ASSERT_EQ(std::system("xdotool key F2 key x key Escape"), 0);
  pumpFor(5000, [&] { return downs.size() >= 3 && chars.size() >= 2; });
  EXPECT_EQ(downs, (std::vector<std::uint16_t>{113, 'X', 27}));
  EXPECT_EQ(chars, std::string("x\x1B"));

  // A second window shown under the resting pointer: SDL reports motion, the user did not move.
  vcl::TForm popup(nullptr);
  popup.SetBorderStyle(vcl::TBorderStyle::bsNone);
  popup.SetWidth(200);
  popup.SetHeight(200);
  int popupMoves = 0;
  popup.OnMouseMove = [&](vcl::TObject*, vcl::TShiftState, int, int) { ++popupMoves; };
  ASSERT_NE(popup.Handle(), nullptr);
  SDL_SetWindowPosition(sdl::Window::From(popup.Handle())->Get(), 350, 370);
  popup.Show();
  pumpFor(500, never);
  EXPECT_EQ(popupMoves, 0);
  ASSERT_EQ(std::system("xdotool mousemove 420 440"), 0);
  pumpFor(5000, [&] { return popupMoves > 0; });
  EXPECT_GT(popupMoves, 0) << "a real movement over the new window counts";
  popup.Hide();

}

// A picture of the screen's own size is drawn by the processor straight into the window's pixels,
// and of a changed block only that block is sent to the screen.
class SdlDisplayAtScreenSize : public SdlDisplay {
 protected:
  bool AtScreenSize() const override { return true; }
};

TEST_F(SdlDisplayAtScreenSize, OnlyTheChangedBlockIsSent) {
  ShowsAChangedBlock();
  SDL_Window* w = sdl::Window::From(window_)->Get();
  EXPECT_EQ(SDL_GetRenderer(w), nullptr) << "drawn through a renderer";
  EXPECT_EQ(after_.pixelsSent - before_.pixelsSent, 200u * 100u);
  // One to one, the block's edges are exact.
  struct Point {
    int x, y;
    std::uint32_t shown;
  };
  for (Point p : {Point{100, 300, 0xFF0000}, Point{299, 399, 0xFF0000}, Point{99, 350, 0x204080},
                  Point{300, 350, 0x204080}, Point{200, 299, 0x204080}, Point{200, 400, 0x204080}})
    EXPECT_EQ(ShownAt(p.x, p.y, p.shown), p.shown) << p.x << ", " << p.y;

  // Uncovered, the window is sent whole again, and no more once it settled.
  Settle();
  const sdl::Presenter::Totals settled = sdl::Presenter::Counted();
  SDL_Event e{};
  e.type = SDL_WINDOWEVENT;
  e.window.windowID = SDL_GetWindowID(w);
  e.window.event = SDL_WINDOWEVENT_EXPOSED;
  sdl::Dispatch(e);
  PumpUntilPresented(settled.presented + 1);
  const sdl::Presenter::Totals exposed = sdl::Presenter::Counted();
  EXPECT_GE(exposed.pixelsSent - settled.pixelsSent, std::uint64_t(w_) * std::uint64_t(h_));
  EXPECT_EQ(exposed.pixelsUploaded, settled.pixelsUploaded) << "the window's pixels were still right";
  EXPECT_EQ(ShownAt(200, 350, 0xFF0000), 0xFF0000u);
}

TEST_F(SdlDisplayAtScreenSize, GammaRampDimsTheScreenNotThePicture) { GammaRampDims(); }

// Once the window no longer has the picture's size, the picture is scaled to it again.
TEST_F(SdlDisplayAtScreenSize, AnotherWindowSizeScalesAgain) {
  FillBack(0x00204080);
  RECT block{0, 0, 100, 100};
  FillBack(0x00FF0000, &block);
  FlipOnFrameThread();
  ASSERT_EQ(ShownAt(50, 50, 0xFF0000), 0xFF0000u);
  SDL_Window* w = sdl::Window::From(window_)->Get();
  ASSERT_EQ(SDL_GetRenderer(w), nullptr);
  SDL_SetWindowFullscreen(w, 0);
  SDL_SetWindowPosition(w, 0, 0);
  SDL_SetWindowSize(w, w_ / 2, h_ / 2);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  int ww = 0, wh = 0;
  do {
    vcl::Application().ProcessMessages();
    SDL_GetWindowSize(w, &ww, &wh);
  } while ((ww != w_ / 2 || wh != h_ / 2) && std::chrono::steady_clock::now() < deadline);
  ASSERT_EQ(ww, w_ / 2);
  // Half the size, in the screen's corner.
  scale_ = 0.5;
  offX_ = offY_ = 0;
  EXPECT_EQ(ShownAt(50, 50, 0xFF0000), 0xFF0000u);
  EXPECT_EQ(ShownAt(300, 300, 0x204080), 0x204080u);
  EXPECT_NE(SDL_GetRenderer(w), nullptr);

  // And back to the picture's size: drawn directly again.
  SDL_SetWindowSize(w, w_, h_);
  do {
    vcl::Application().ProcessMessages();
    SDL_GetWindowSize(w, &ww, &wh);
  } while ((ww != w_ || wh != h_) && std::chrono::steady_clock::now() < deadline + std::chrono::seconds(5));
  scale_ = 1;
  EXPECT_EQ(ShownAt(600, 600, 0x204080), 0x204080u);
  EXPECT_EQ(ShownAt(50, 50, 0xFF0000), 0xFF0000u);
  EXPECT_EQ(SDL_GetRenderer(w), nullptr);
}

TEST(SdlWithoutDisplay, InstallsNothingAndOpensNoDisplay) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // a fresh process: SDL not yet started
  EXPECT_EXIT(
      {
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        unsetenv("SDL_VIDEODRIVER");
        UseBackend(BackendKind::Sdl);
        IDirectDraw* dd = nullptr;
        const bool installed = sdl::InstallWindowSystem();
        const HRESULT hr = DirectDrawCreate(nullptr, &dd, nullptr);
        vcl::TForm form(nullptr);
        const bool windowless = form.Handle() == nullptr;
        std::_Exit(!installed && hr != DD_OK && dd == nullptr && MonitorCount() == 0 && windowless ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(SdlWakeUp, AnotherThreadWakesAWaitingPump) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display";
  ASSERT_TRUE(sdl::InstallWindowSystem());
  while (sdl::ThePump().Pump(0)) {
  }
  std::thread waker([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    sdl::ThePump().Wake();
  });
  // Waits far longer than the waker takes; it returns because of the wake-up.
  EXPECT_TRUE(sdl::ThePump().Pump(60000));
  waker.join();
}

}  // namespace
}  // namespace ddraw::testing
