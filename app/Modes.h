#pragma once
// The entry point and the run modes: show, preview, configuration, password change.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace app {

enum class Mode { Show, Preview, Configuration, PasswordChange };

// The mode the first argument selects (empty when there is none).
Mode ChooseMode(const std::string& firstArgument);

// What each mode runs; the preview and the password change get the window handle of argument 2.
struct ModeRunners {
  std::function<void()> show;
  std::function<void(std::int32_t handle)> preview;
  std::function<void()> configuration;
  std::function<void(std::int32_t handle)> passwordChange;
};

// The program's own modes.
ModeRunners StandardModes();

// The whole entry point: runs one mode inside the one error handler, which shows any error with
// the application's standard error display; always returns 0.
int Main(int argc, char** argv);
int Main(int argc, char** argv, const ModeRunners& modes);

// Show mode: the full-screen hearth until the scene form closes (app/Show.cpp).
void RunShow();
// Configuration mode: the settings dialog until it closes (app/Configuration.cpp).
void RunConfiguration();

// Preview mode: waits until the window `handle` is viewable, draws "PREVIEWBMP" at its top-left
// corner and returns. Returns quietly when there is no display, when the handle names no window
// or the window goes away, and when it has not become viewable within PreviewWaitMs().
void RunPreview(std::int32_t handle);
// How long the preview waits for its window: SORVANTA_PREVIEW_WAIT_MS (milliseconds) when set to
// a number, else 10 seconds.
int PreviewWaitMs();

// Password-change mode: loads `library` ("MPR.DLL"), calls its "PwdChangePasswordA" with the
// owner window `handle`, or says in a message box over that window why it cannot.
void RunPasswordChange(std::int32_t handle, const char* library = "MPR.DLL");

}  // namespace app
