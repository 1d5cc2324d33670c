#include <cstdio>

#include "app/Modes.h"
#include "platform/vcl/Forms.h"

namespace app {

void RunConfiguration() {
  vcl::TApplication& application = vcl::Application();
  application.Initialize();
  application.Title = "Screensaver Configuration";
  // The settings dialog (TForm2) becomes the main window here and Application().Run() runs it.
  std::fputs("sorvanta: the configuration dialog is not available in this build\n", stderr);
}

}  // namespace app
