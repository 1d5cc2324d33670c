#include "platform/sdl/Video.h"

#include <SDL.h>

#include <atomic>
#include <cstdlib>
#include <mutex>

#include "platform/sdl/EventPump.h"
#include "platform/sdl/Window.h"
#include "platform/vcl/Forms.h"

namespace sdl {

namespace {
std::mutex g_videoMutex;
int g_videoState = 0;  // 0 not tried, 1 ready, -1 unavailable
std::atomic<bool> g_ready{false};
std::atomic<std::uint32_t> g_wakeType{0};
std::atomic<bool> g_wakePending{false};

bool HaveDisplay() {
  // Without a display server SDL could fall back to the console's display hardware; a screen
  // saver started without a display has nothing to show on.
  return std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY") || std::getenv("SDL_VIDEODRIVER");
}
}  // namespace

bool EnsureVideo() {
  std::lock_guard lock(g_videoMutex);
  if (g_videoState == 0) {
    g_videoState = -1;
    if (HaveDisplay()) {
      SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
      SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");  // we are the screen saver: leave the desktop's own alone
      if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) {
        const Uint32 type = SDL_RegisterEvents(1);
        if (type != static_cast<Uint32>(-1)) {
          g_wakeType = type;
          g_videoState = 1;
          g_ready = true;
        } else {
          SDL_QuitSubSystem(SDL_INIT_VIDEO);
        }
      }
    }
  }
  return g_videoState == 1;
}

bool VideoReady() { return g_ready.load(); }

std::uint32_t WakeEventType() { return g_wakeType.load(); }

void WakePump() {
  if (!g_ready.load() || g_wakePending.exchange(true)) return;
  SDL_Event e{};
  e.type = g_wakeType.load();
  if (SDL_PushEvent(&e) != 1) g_wakePending = false;
}

void WakeSeen() { g_wakePending = false; }

bool InstallWindowSystem() {
  if (!EnsureVideo()) return false;
  vcl::SetWindowFactory([](vcl::TForm& form) { return MakeWindow(form); });
  vcl::Application().SetEventPump(&ThePump());
  return true;
}

}  // namespace sdl
