// One frame of the engine on the in-memory display at the show's 1024 x 768 x 32: the black fill
// and the flip, alone and with the frame-rate overlay, and a whole timer tick.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "engine/Kss.h"
#include "platform/ddraw/Backend.h"
#include "platform/ddraw/Memory.h"
#include "platform/vcl/Forms.h"

namespace {

// An engine open on the memory display, its settings in a throw-away hive.
class OpenEngine {
 public:
  OpenEngine() {
    std::string pattern = (std::filesystem::temp_directory_path() / "sorvanta-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) config_ = pattern;
    ::setenv("XDG_CONFIG_HOME", config_.c_str(), 1);
    ddraw::UseBackend(ddraw::BackendKind::Memory);
    ddraw::memory::Control().Reset();
    form_ = std::make_unique<vcl::TForm>(nullptr);
    kss = new engine::TKss(form_.get());
    kss->SetBrandName("Korvane Software");
    kss->SetSSName("Sorvanta");
    kss->SetUseIdle(false);
    kss->SetWidthScreen(1024);
    kss->SetHeightScreen(768);
    kss->SetColorDepth(32);
    kss->SetInterval(40);
    kss->SetEnabled(true);
  }
  ~OpenEngine() {
    kss->SetTimerEnabled(false);
    kss->SetEnabled(false);
    form_.reset();
    std::error_code ignored;
    if (!config_.empty()) std::filesystem::remove_all(config_, ignored);
  }
  bool Open() const { return kss->FDDBACK != nullptr; }

  engine::TKss* kss = nullptr;

 private:
  std::unique_ptr<vcl::TForm> form_;
  std::filesystem::path config_;
};

void BM_ClearAndFlip(benchmark::State& state) {
  OpenEngine e;
  if (!e.Open()) return state.SkipWithError(e.kss->GetErrorResult().c_str());
  e.kss->SetshowFPS(state.range(0) != 0);
  for (auto _ : state) {
    e.kss->ClearBackSurface();
    e.kss->FlipSurfaces();
  }
  state.SetLabel(state.range(0) ? "with frame rate" : "black frame");
}
BENCHMARK(BM_ClearAndFlip)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_TimerTick(benchmark::State& state) {
  OpenEngine e;
  if (!e.Open()) return state.SkipWithError(e.kss->GetErrorResult().c_str());
  for (auto _ : state) e.kss->TimerTick();
}
BENCHMARK(BM_TimerTick)->Unit(benchmark::kMicrosecond);

}  // namespace
