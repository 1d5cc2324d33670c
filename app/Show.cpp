#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/Modes.h"
#include "platform/sdl/Video.h"
#include "platform/vcl/Forms.h"
#include "scene/Unit1.h"

namespace app {

void RunShow() {
  vcl::TApplication& app = vcl::Application();
  app.Initialize();
  if (!sdl::InstallWindowSystem()) {
    std::fputs("sorvanta: no display to show on (DISPLAY is not set, or its X server cannot be reached)\n",
               stderr);
    return;
  }

  auto form = std::make_unique<scene::TForm1>(nullptr);
  form->SetCaption("Sorvanta");
  app.MainForm = form.get();
  try {
    form->FormCreate(form.get());
  } catch (const std::exception& e) {
    // The set-up ends at the failing step; the form stays an ordinary window.
    app.ShowException(e);
  }
  sdl::MarkStats();
  form->Show();
  app.Run();
  // The window system may have closed the form: everything stops the same way.
  form->ExitSaver();
  if (std::getenv("SORVANTA_STATS")) {
    const sdl::PresentStats stats = sdl::Stats();
    std::fprintf(stderr, "sorvanta: stats frames=%llu first_frame_ms=%.1f setup_ms=%.1f first_hearth_ms=%.1f\n",
                 static_cast<unsigned long long>(stats.presented), stats.firstPresentMs, stats.markMs,
                 stats.firstAfterMarkMs);
  }
  app.MainForm = nullptr;
  form.reset();
  app.SetEventPump(nullptr);
}

}  // namespace app
