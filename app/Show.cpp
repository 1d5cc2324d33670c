#include <cstdio>

#include "app/Modes.h"
#include "platform/vcl/Forms.h"

namespace app {

void RunShow() {
  vcl::Application().Initialize();
  // The scene form (TForm1) becomes the main window here and Application().Run() plays the show.
  std::fputs("sorvanta: the show is not available in this build\n", stderr);
}

}  // namespace app
