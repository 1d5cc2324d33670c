#pragma once
// Chooses the display backend behind DirectDrawCreate, in one place.
#include <string_view>

#include "platform/ddraw/DDraw.h"

namespace ddraw {

enum class BackendKind { Sdl, Memory };
void UseBackend(BackendKind kind);
BackendKind CurrentBackend();

// The run-time lookup of the enumeration entry point in the named library ("ddraw.dll"): the
// backend's enumeration, or none when the facility cannot be loaded.
DirectDrawEnumerateExAFunc LoadEnumerateEx(std::string_view library);

// The number of monitors the window system reports.
int MonitorCount();

}  // namespace ddraw
