// Leaving the show: Escape, a mouse movement, F2 (the news channel's page) and F3 (the forecast
// page) all end in ExitSaver.
#include <cstdlib>

#include "platform/shell/Shell.h"
#include "scene/Unit1.h"

namespace scene {

void TForm1::FormKeyPress(vcl::TObject*, char& Key) {
  if (Key == 27) ExitSaver();
}

void TForm1::FormKeyDown(vcl::TObject*, std::uint16_t& Key, vcl::TShiftState) {
  if (FExited) return;
  if (Key == vcl::VK_F2) {
    // The link comes from the network: only a web address goes to the browser.
    if (IsWebAddress(NewsLink))
      shell::ShellExecuteA(Handle(), "open", NewsLink.c_str(), "", "", shell::SW_SHOW);
    ExitSaver();
  } else if (Key == vcl::VK_F3) {
    const std::string address = ForecastAddress(Kss1->GetTDegree(), Kss1->GetWeatherCode());
    shell::ShellExecuteA(Handle(), "open", address.c_str(), "", "", shell::SW_SHOW);
    ExitSaver();
  }
}

void TForm1::FormMouseMove(vcl::TObject*, vcl::TShiftState, int X, int Y) {
  // Distances between consecutive events; a recorded 0 switches that axis' test off once.
  const std::int64_t dx = std::llabs(static_cast<std::int64_t>(X) - LastMouseX);
  const std::int64_t dy = std::llabs(static_cast<std::int64_t>(Y) - LastMouseY);
  if (dx > 5 && LastMouseX != 0) ExitSaver();
  else if (dy > 5 && LastMouseY != 0) ExitSaver();
  LastMouseX = X;
  LastMouseY = Y;
}

void TForm1::ExitSaver() {
  // Queued input may ask more than once; only the first request acts.
  if (FExited) return;
  FExited = true;
  Kss1->SetTimerEnabled(false);
  Kss1->SetEnabled(false);
  StopSound();
  if (vcl::HWND window = HandleAllocated() ? Handle() : nullptr) window->SetCursorVisible(true);
  Hide();
  SetBorderStyle(vcl::TBorderStyle::bsSizeable);
  SetHeight(20);
  SetWidth(20);
  Close();
}

}  // namespace scene
