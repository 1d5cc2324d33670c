#pragma once
// Message boxes. Each text also goes to stderr; where no window system can be reached the box
// falls back to stderr alone and never blocks.
#include <cstdint>
#include <string>

namespace vcl {

// Shows `text` with `caption` and a single OK button, transient for the X11 window `owner`
// (0: none, or a window that does not exist), and returns when it is dismissed.
void ShowMessageBox(std::uintptr_t owner, const std::string& text, const std::string& caption);

}  // namespace vcl
