#pragma once
// Opening an address in the user's browser: `xdg-open` started with an argument vector, never
// through a shell.
#include <functional>
#include <string>

#include "platform/vcl/Forms.h"

namespace shell {

inline constexpr int SW_SHOW = 5;

// Performs `verb` ("open") on `file`. Only "open" is known. Returns true when the opener was
// started; its own outcome is not waited for.
bool ShellExecuteA(vcl::HWND owner, const char* verb, const char* file, const char* parameters,
                   const char* directory, int showCommand);

// Replaces the real opener (tests record the requests); an empty function restores it.
using Opener = std::function<bool(const std::string& verb, const std::string& file)>;
void SetOpener(Opener opener);

}  // namespace shell
