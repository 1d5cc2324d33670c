#include <charconv>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "app/Modes.h"
#include "assets/Assets.h"
#include "platform/vcl/Bmp.h"
#include "platform/vcl/Forms.h"
#include "platform/x11/ForeignWindow.h"

namespace app {

namespace {
constexpr int kDefaultWaitMs = 10'000;
constexpr int kMaxWaitMs = 3'600'000;
constexpr auto kTestInterval = std::chrono::milliseconds(5);
}  // namespace

int PreviewWaitMs() {
  const char* text = std::getenv("SORVANTA_PREVIEW_WAIT_MS");
  if (!text || !*text) return kDefaultWaitMs;
  int ms = 0;
  const char* end = text + std::strlen(text);
  auto [stop, ec] = std::from_chars(text, end, ms);
  if (ec != std::errc() || stop != end || ms < 0) return kDefaultWaitMs;
  return ms > kMaxWaitMs ? kMaxWaitMs : ms;
}

void RunPreview(std::int32_t handle) {
  if (handle <= 0) return;  // names no window
  auto window = x11::ForeignWindow::Open(static_cast<std::uint32_t>(handle));
  if (!window) return;  // no display
  // The display settings map their preview window when they are ready; wait for that, but not for
  // a window that is gone or never comes.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(PreviewWaitMs());
  for (;;) {
    const x11::WindowState state = window->State();
    if (state == x11::WindowState::Viewable) break;
    if (state == x11::WindowState::Gone || std::chrono::steady_clock::now() >= deadline) return;
    vcl::Application().ProcessMessages();
    std::this_thread::sleep_for(kTestInterval);
  }
  const vcl::DecodedImage picture = vcl::DecodeBmp(assets::Find("PREVIEWBMP"), "PREVIEWBMP");
  window->Draw(picture, 0, 0);
}

}  // namespace app
