#pragma once
// A small message box on the X display: the caption, the text and a single "OK" button.
#include <cstdint>
#include <string_view>

namespace x11 {

// Shows the box, transient for the window `owner` when that window exists, and returns when it is
// dismissed (Return, Space, Escape, a click on OK, the window manager's close, the owner's end or
// the display's end). False, at once, when no display can be reached.
bool RunMessageBox(std::uintptr_t owner, std::string_view text, std::string_view caption);

}  // namespace x11
