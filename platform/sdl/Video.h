#pragma once
// SDL's video subsystem, started lazily on the main thread, and the window system it serves to
// the forms: native windows for forms and the application's event pump.
#include <cstdint>

namespace sdl {

// Starts SDL video once; false when there is no display to show on.
bool EnsureVideo();
bool VideoReady();

// Makes forms' windows SDL windows and pumps SDL events in the application's message loop.
// False (and nothing installed) when there is no display.
bool InstallWindowSystem();

// Wakes the event pump from any thread (at most one wake-up waits in SDL's queue at a time).
void WakePump();
// The pump's own event that WakePump posts, and the pump noting that it arrived.
std::uint32_t WakeEventType();
void WakeSeen();

// What the presenters have shown so far: frames put on the screen, and when the first one was,
// in milliseconds since the program started (negative while none has been).
// MarkStats notes a moment (the end of the show's set-up): the first frame shown after it is
// timed too.
struct PresentStats {
  std::uint64_t presented = 0;
  double firstPresentMs = -1;
  double markMs = -1;
  double firstAfterMarkMs = -1;
};
PresentStats Stats();
void MarkStats();

}  // namespace sdl
