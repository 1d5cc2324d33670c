#pragma once
// The application's SDL event source: input goes to the form that owns the window, focus changes
// to the application, and finished frames are shown.
#include <SDL.h>

#include <cstdint>

#include "platform/vcl/Forms.h"

namespace sdl {

class EventPump final : public vcl::EventPump {
 public:
  bool Pump(int timeoutMs) override;
  void Wake() override;
};

EventPump& ThePump();

// Windows' virtual key code of an SDL key, 0 for keys the system has no use for.
std::uint16_t VirtualKey(SDL_Keycode key);
// The character a key stands for when no text event reports it (Escape, Enter, Backspace, Tab), or 0.
char ControlCharacter(SDL_Keycode key);
// Appends the code page 1252 bytes of UTF-8 text to out (up to capacity); characters 1252 lacks are
// dropped. Returns the number of bytes written.
int ToCodePage1252(const char* utf8, char* out, int capacity);

// Hands one SDL event to the forms and presenters (the pump calls it; tests may too).
void Dispatch(const SDL_Event& event);

}  // namespace sdl
