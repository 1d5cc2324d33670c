#include <cstdio>
#include <memory>

#include "app/Modes.h"
#include "engine/Kss.h"
#include "platform/sdl/Video.h"
#include "platform/vcl/Forms.h"

namespace app {

// For now the show is the bare engine: black frames with the frame rate, until Escape.
void RunShow() {
  vcl::TApplication& app = vcl::Application();
  app.Initialize();
  if (!sdl::InstallWindowSystem()) {
    std::fputs("sorvanta: no display to show on\n", stderr);
    return;
  }

  auto form = std::make_unique<vcl::TForm>(nullptr);
  form->SetCaption("Sorvanta");
  app.MainForm = form.get();
  auto* kss = new engine::TKss(form.get());  // owned by the form
  kss->SetBrandName("Korvane Software");
  kss->SetSSName("Sorvanta");
  kss->SetUseIdle(false);
  kss->SetWidthScreen(1024);
  kss->SetHeightScreen(768);
  kss->SetColorDepth(32);
  kss->SetInterval(40);
  kss->SetshowFPS(true);

  auto shutdown = [&] {
    kss->SetTimerEnabled(false);
    kss->SetEnabled(false);
    form->Close();
  };
  form->OnKeyDown = [&](vcl::TObject*, std::uint16_t& key, vcl::TShiftState) {
    if (key == vcl::VK_ESCAPE) shutdown();
  };

  kss->SetEnabled(true);
  if (kss->FDDBACK == nullptr) {
    // Nothing to draw on: end instead of showing an empty window that nothing closes.
    std::fprintf(stderr, "sorvanta: %s\n", kss->GetErrorResult().c_str());
    shutdown();
  } else {
    kss->SetTimerEnabled(true);
    form->Show();
    app.Run();
  }
  // The window system may have closed the form: the display goes the same way.
  kss->SetTimerEnabled(false);
  kss->SetEnabled(false);
  app.MainForm = nullptr;
  form.reset();
  // The window system's event pump ends with the program's statics, possibly before the
  // application object does, whose end still wakes its pump.
  app.SetEventPump(nullptr);
}

}  // namespace app
