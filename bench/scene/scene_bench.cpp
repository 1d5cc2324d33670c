// One whole frame of the hearth on the in-memory display: clear, background, nine flames, the
// bar panel (a gadget is on), flip.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/ddraw/Backend.h"
#include "platform/ddraw/Memory.h"
#include "scene/Unit1.h"

namespace {

void BM_HearthFrame(benchmark::State& state) {
  std::string dir = (std::filesystem::temp_directory_path() / "sorvanta-bench-XXXXXX").string();
  if (!::mkdtemp(dir.data())) {
    state.SkipWithError("no temporary folder");
    return;
  }
  ::setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
  ::setenv("SDL_AUDIODRIVER", "dummy", 0);
  ddraw::UseBackend(ddraw::BackendKind::Memory);
  ddraw::memory::Control().Reset();
  {
    vcl::TComponent owner(nullptr);
    auto* kss = new engine::TKss(&owner);
    kss->SetBrandName("Korvane Software");
    kss->SetSSName("Sorvanta");
    kss->SetRegistry();
    kss->WriteRKey("ShowTime", 1);
  }
  auto form = std::make_unique<scene::TForm1>(nullptr);
  form->Kss1->AppDeactivate(nullptr);  // the benchmark draws the frames itself
  form->FormCreate(form.get());
  form->Kss1->SetTimerEnabled(false);
  engine::TKss* kss = form->Kss1;
  for (auto _ : state) {
    kss->IsLostRestore();
    kss->ClearBackSurface();
    form->Kss1Timer(kss);
    kss->FlipSurfaces();
  }
  state.SetItemsProcessed(state.iterations());
  form->ExitSaver();
  form.reset();
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_HearthFrame)->Unit(benchmark::kMicrosecond);

}  // namespace
