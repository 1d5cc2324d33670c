// Alone in its file: Xlib's internal header defines macros (min, max) that the standard library
// cannot live with.
#include <X11/Xlibint.h>

namespace x11 {

// Marks the connection as lost the way Xlib does after an I/O error, so that every further call
// returns at once and XCloseDisplay only frees.
void MarkServerLost(Display* display) { display->flags = display->flags | XlibDisplayIOError; }

}  // namespace x11
