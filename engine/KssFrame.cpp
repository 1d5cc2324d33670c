// TKss: the frame timer and the frame cycle (restore, clear, draw, overlays, flip).
#include <cstdio>
#include <thread>

#include "engine/Kss.h"
#include "platform/gdi/Gdi.h"
#include "platform/mm/MMSystem.h"

namespace engine {

std::atomic<std::int32_t> FpsFrameCount{0};
std::atomic<std::uint32_t> FpsLastTime{0};
std::atomic<std::int32_t> FpsRate{0};

namespace {

// A flip that keeps answering "still drawing" for this long is given up for this frame, so a
// stuck display can never hold the frame thread (and with it the closing of the display).
constexpr std::uint32_t kFlipRetryLimitMs = 250;

void DrawWhiteText(ddraw::IDirectDrawSurface* surface, int x, int y, const char* text, int length) {
  ddraw::HDC dc = nullptr;
  if (surface == nullptr || surface->GetDC(&dc) != ddraw::DD_OK || dc == nullptr) return;
  gdi::SetBkMode(dc, gdi::TRANSPARENT);
  gdi::SetTextColor(dc, gdi::RGB(255, 255, 255));
  gdi::TextOutA(dc, x, y, text, length);
  surface->ReleaseDC(dc);
}

}  // namespace

void TKss::SetTimerEnabled(bool Value) {
  if (Value == FTimerEnabled) return;
  if (!Value) {
    FTimerEnabled = false;
    if (FTimerID != 0) {
      mm::timeKillEvent(FTimerID);  // waits for a running tick
      FTimerID = 0;
    }
    return;
  }
  if (!FEnabled) return;
  FTimerEnabled = true;
  FTimerID = mm::timeSetEvent(static_cast<std::uint32_t>(FTimerDelay.load()), 0, &TKss::TimerCallback,
                              reinterpret_cast<std::uintptr_t>(this), mm::TIME_PERIODIC);
  // No timer could be started: say so, and let a later call try again.
  if (FTimerID == 0) FTimerEnabled = false;
}

void TKss::TimerCallback(std::uint32_t, std::uint32_t, std::uintptr_t user, std::uintptr_t, std::uintptr_t) {
  reinterpret_cast<TKss*>(user)->TimerTick();
}

void TKss::SetInterval(std::int32_t Value) {
  // The BigTick period divides a second by the delay; a delay below 1 ms is refused.
  if (Value < 1) return;
  FTimerDelay = Value;
  FBigTickPeriod = (1000 / Value) * 20;
}

void TKss::StopIdle(bool Value) {
  if (Value) {
    UnhookIdle();
  } else if (FUseIdle) {
    HookIdle();
  }
}

void TKss::TimerTick() {
  if (!FActive) return;
  if (!FUseIdle) {
    IsLostRestore();
    ClearBackSurface();
    if (OnTimer) OnTimer(this);
    FlipSurfaces();
  } else if (OnTimer) {
    OnTimer(this);
  }
  if (++FBigTickCount > FBigTickPeriod) {
    FBigTickCount = 0;
    FBigTick = !FBigTick;
  }
}

void TKss::GameLoop(vcl::TObject*, bool& Done) {
  Done = false;
  if (!FActive) return;
  IsLostRestore();
  ClearBackSurface();
  if (OnGameLoop) OnGameLoop(this);
  FlipSurfaces();
}

void TKss::ClearBackSurface() {
  if (FDDBACK == nullptr) return;
  ddraw::DDBLTFX fx;
  fx.dwFillColor = 0;
  FDDBACK->Blt(nullptr, nullptr, nullptr, ddraw::DDBLT_COLORFILL | ddraw::DDBLT_WAIT, &fx);
}

void TKss::ClearAllSurface() {
  ddraw::DDBLTFX fx;
  fx.dwFillColor = 0;
  if (FDDPRIM != nullptr) FDDPRIM->Blt(nullptr, nullptr, nullptr, ddraw::DDBLT_COLORFILL | ddraw::DDBLT_WAIT, &fx);
  if (FDDBACK != nullptr) FDDBACK->Blt(nullptr, nullptr, nullptr, ddraw::DDBLT_COLORFILL | ddraw::DDBLT_WAIT, &fx);
}

void TKss::FlipSurfaces() {
  IsLostRestore();
  if (FShowFPS) FuncShowFPS();
  if (FShowTestString || FShowTestString2 || FShowTestString3) {
    std::lock_guard lock(FTextLock);
    if (FShowTestString) FuncShowTST(FTestString, 20, 20);
    if (FShowTestString2) FuncShowTST(FTestString2, 20, 40);
    if (FShowTestString3) FuncShowTST(FTestString3, 20, 60);
  }
  if (FDDPRIM == nullptr) return;
  ddraw::HRESULT hr = FDDPRIM->Flip(nullptr, 0);
  if (hr == ddraw::DDERR_WASSTILLDRAWING) {
    const std::uint32_t start = mm::timeGetTime();
    while (hr == ddraw::DDERR_WASSTILLDRAWING && mm::timeGetTime() - start < kFlipRetryLimitMs) {
      std::this_thread::yield();  // the presenting thread may need this core to free a buffer
      hr = FDDPRIM->Flip(nullptr, 0);
    }
  }
  if (hr == ddraw::DDERR_SURFACELOST) IsLostRestore();
}

void TKss::IsLostRestore() {
  if (FDDPRIM == nullptr) return;
  if (FDDPRIM->IsLost() != ddraw::DDERR_SURFACELOST) return;
  if (FDDPRIM->Restore() != ddraw::DD_OK) return;  // the next call tries again
  RefillSprites();
}

void TKss::FuncShowFPS() {
  if (FpsFrameCount.fetch_add(1) + 1 >= 10) {
    const std::uint32_t now = mm::timeGetTime();
    const std::uint32_t previous = FpsLastTime.exchange(now);
    const std::uint32_t elapsed = now - previous;
    // Ten frames over the elapsed milliseconds. The first measurement has no start of its own
    // and shows 0; ten frames within one millisecond keep the rate shown before.
    if (previous == 0) {
      FpsRate = 0;
    } else if (elapsed != 0) {
      FpsRate = static_cast<std::int32_t>(10000u / elapsed);
    }
    FpsFrameCount = 0;
  }
  char text[40];
  const int length = std::snprintf(text, sizeof text, "Frame rate: %d FPS", FpsRate.load());
  DrawWhiteText(FDDBACK, 20, FHeightScreen - 30, text, length);
}

void TKss::FuncShowTST(const std::string& Text, int X, int Y) {
  DrawWhiteText(FDDBACK, X, Y, Text.data(), static_cast<int>(Text.size()));
}

void TKss::SetText(std::string& Field, const std::string& Value) {
  std::lock_guard lock(FTextLock);
  Field = Value;
}

void TKss::SetTestString(const std::string& Value) { SetText(FTestString, Value); }
void TKss::SetTestString2(const std::string& Value) { SetText(FTestString2, Value); }
void TKss::SetTestString3(const std::string& Value) { SetText(FTestString3, Value); }

}  // namespace engine
