// The clock's text work of one frame: the font, a measurement and the pieces drawn.
#include <benchmark/benchmark.h>

#include <vector>

#include "platform/ddraw/DDraw.h"
#include "platform/gdi/Font.h"
#include "platform/gdi/Gdi.h"

namespace {

struct Surface {
  Surface() : pixels(1024 * 768, 0x00202020) {
    dc.bits = {pixels.data(), 1024, 768, 1024};
    SetBkMode(&dc, gdi::TRANSPARENT);
    SetTextColor(&dc, gdi::RGB(255, 255, 255));
  }
  std::vector<std::uint32_t> pixels;
  gdi::DC dc;
};

gdi::HFONT Arial(int height) {
  return gdi::CreateFontA(height, 0, 0, 0, gdi::FW_BOLD, 0, 0, 0, gdi::ANSI_CHARSET, gdi::OUT_DEFAULT_PRECIS,
                          gdi::CLIP_DEFAULT_PRECIS, gdi::PROOF_QUALITY, gdi::VARIABLE_PITCH, "Arial");
}

void BM_TextOut(benchmark::State& state) {
  Surface s;
  SelectObject(&s.dc, Arial(22));
  for (auto _ : state) benchmark::DoNotOptimize(gdi::TextOutA(&s.dc, 920, 726, "22:35", 5));
}
BENCHMARK(BM_TextOut);

void BM_Measure(benchmark::State& state) {
  Surface s;
  SelectObject(&s.dc, Arial(22));
  gdi::SIZE size;
  for (auto _ : state) {
    gdi::GetTextExtentPoint32A(&s.dc, "22:35", 5, &size);
    benchmark::DoNotOptimize(size);
  }
}
BENCHMARK(BM_Measure);

void BM_ClockFrame(benchmark::State& state) {
  Surface s;
  gdi::SIZE size;
  for (auto _ : state) {
    gdi::HFONT f = Arial(22);
    gdi::SelectObject(&s.dc, f);
    gdi::GetTextExtentPoint32A(&s.dc, "22:35", 5, &size);
    const int x = 911 + (106 - size.cx) / 2;
    gdi::TextOutA(&s.dc, x, 726, "22", 2);
    gdi::GetTextExtentPoint32A(&s.dc, "22", 2, &size);
    gdi::TextOutA(&s.dc, x + size.cx, 726, ":", 1);
    gdi::GetTextExtentPoint32A(&s.dc, "22:", 3, &size);
    gdi::TextOutA(&s.dc, x + size.cx, 726, "35", 2);
    gdi::DeleteObject(f);
  }
}
BENCHMARK(BM_ClockFrame);

void BM_TickerClipped(benchmark::State& state) {
  Surface s;
  SelectObject(&s.dc, Arial(22));
  const ddraw::RECT clip{300, 720, 880, 760};
  const char text[] = "Sorvanta news: the hearth burns on, -3\xB0 tonight, 12\xB0 tomorrow";
  int x = 880;
  for (auto _ : state) {
    gdi::ExtTextOutA(&s.dc, x, 730, gdi::ETO_CLIPPED, &clip, text, sizeof text - 1, nullptr);
    if (--x < 0) x = 880;
  }
}
BENCHMARK(BM_TickerClipped);

// A size not made before: the glyphs of the whole code page rendered (once per size, at set-up).
void BM_MakeNewFont(benchmark::State& state) {
  static int h = 24;
  for (auto _ : state) {
    if (h > gdi::kMaxCellHeight) {
      state.SkipWithError("out of sizes");
      break;
    }
    benchmark::DoNotOptimize(Arial(h++));
  }
}
BENCHMARK(BM_MakeNewFont)->Iterations(40);

// The per-frame CreateFontA of a gadget: the shared font looked up.
void BM_CreateSharedFont(benchmark::State& state) {
  Arial(22);
  for (auto _ : state) benchmark::DoNotOptimize(Arial(22));
}
BENCHMARK(BM_CreateSharedFont);

}  // namespace
