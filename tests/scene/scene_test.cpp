#include <array>

#include "SceneFixture.h"

namespace scene::testing {
namespace {

using ddraw::memory::Control;

struct Place {
  const char* asset;
  int x, y, frameHeight;
};
constexpr std::array<Place, 9> kFlames{{{"KMV2flame1", 418, 252, 397},
                                        {"KMV2flame2", 433, 667, 101},
                                        {"KMV2flame3", 260, 307, 149},
                                        {"KMV2flame4", 612, 307, 149},
                                        {"KMV2flame5", 260, 456, 108},
                                        {"KMV2flame6", 718, 456, 108},
                                        {"KMV2flame7", 198, 598, 51},
                                        {"KMV2flame8", 183, 217, 49},
                                        {"KMV2flame9", 797, 218, 38}}};

TEST_F(SceneTest, FlamesStepFromOneAndReachZeroOnThe56thTick) {
  Create();
  const auto strip = Decoded("KMV2flame1");
  auto expectFrame = [&](int n) {
    const auto shown = Control().Shown();
    for (int y : {0, 100, 396})
      for (int x : {0, 90, 181})
        ASSERT_EQ(shown.At(418 + x, 252 + y), At(strip, x, n * 397 + y)) << "frame " << n << " at " << x << "," << y;
  };
  Tick();
  EXPECT_EQ(form->GetFrameCounter(), 1);
  expectFrame(1);
  for (int i = 2; i <= 55; ++i) Tick();
  EXPECT_EQ(form->GetFrameCounter(), 55);
  Tick();
  EXPECT_EQ(form->GetFrameCounter(), 0);
  expectFrame(0);
  Tick();
  expectFrame(1);
}

TEST_F(SceneTest, EverySpriteStandsAtItsPlace) {
  Create();
  Tick();
  const auto shown = Control().Shown();
  const auto background = Decoded("KIM1");
  EXPECT_EQ(form->KIM1->GetShowX(), 0);
  EXPECT_EQ(form->KIM1->GetShowY(), 0);
  EXPECT_EQ(shown.At(5, 5), At(background, 5, 5));
  EXPECT_EQ(shown.At(1022, 766), At(background, 1022, 766));
  EXPECT_EQ(shown.At(1023, 767), 0u);  // the last column and row are never drawn on
  EXPECT_EQ(form->KIM2GadgetPanel->GetShowY(), 698);
  const std::array<sprites::TKMV*, 9> flames{form->KMV2flame1, form->KMV2flame2, form->KMV2flame3,
                                             form->KMV2flame4, form->KMV2flame5, form->KMV2flame6,
                                             form->KMV2flame7, form->KMV2flame8, form->KMV2flame9};
  for (std::size_t i = 0; i < flames.size(); ++i) {
    const Place& p = kFlames[i];
    SCOPED_TRACE(p.asset);
    EXPECT_EQ(flames[i]->GetShowX(), p.x);
    EXPECT_EQ(flames[i]->GetShowY(), p.y);
    EXPECT_EQ(flames[i]->CountFrame(), 56);
    EXPECT_EQ(flames[i]->FrameHeight(), p.frameHeight);
    const auto strip = Decoded(p.asset);
    const int w = strip.Width();
    // Drawn in number order, so only what no later flame covers is checked.
    for (auto [x, y] : {std::pair{0, 0}, std::pair{w / 2, p.frameHeight / 2}}) {
      bool covered = false;
      for (std::size_t j = i + 1; j < flames.size(); ++j) {
        const Place& q = kFlames[j];
        const int qw = Decoded(q.asset).Width();
        covered |= p.x + x >= q.x && p.x + x < q.x + qw && p.y + y >= q.y && p.y + y < q.y + q.frameHeight;
      }
      if (!covered && p.y + y < 767) {
        EXPECT_EQ(shown.At(p.x + x, p.y + y), At(strip, x, p.frameHeight + y));
      }
    }
  }
  EXPECT_TRUE(form->Kss1->GetErrorResult().empty()) << form->Kss1->GetErrorResult();
}

// A point of the bar panel that is pure black, where the background is not.
std::pair<int, int> KeyedPoint(const vcl::TPicture& panel, const vcl::TPicture& background) {
  for (int y = 0; y < 69; ++y)
    for (int x = 0; x < 1023; ++x)
      if (SceneTest::At(panel, x, y) == 0 && SceneTest::At(background, x, 698 + y) != 0) return {x, y};
  return {-1, -1};
}

TEST_F(SceneTest, ThePanelIsDrawnOnlyWithAGadgetOnAndKeyedUnlessShowBlack) {
  const auto panel = Decoded("KIM2GadgetPanel");
  const auto background = Decoded("KIM1");
  const auto [kx, ky] = KeyedPoint(panel, background);
  ASSERT_GE(kx, 0) << "the panel has no transparent pixel over a lit background";
  int ox = -1, oy = -1;  // an opaque panel point that differs from the background
  for (int x = 0; x < 1023 && ox < 0; ++x)
    if (At(panel, x, 35) != 0 && At(panel, x, 35) != At(background, x, 733)) ox = x, oy = 35;
  ASSERT_GE(ox, 0);

  struct Case {
    std::int32_t showTime, showWeather, showNews, showBlack;
    bool drawn;
  } cases[] = {{0, 0, 0, 0, false}, {0, 0, 0, 1, false}, {1, 0, 0, 0, true}, {1, 0, 0, 1, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "ShowTime " << c.showTime << " ShowBlack " << c.showBlack);
    Store({{"ShowTime", c.showTime}, {"ShowWeather", c.showWeather}, {"ShowNews", c.showNews},
           {"ShowBlack", c.showBlack}});
    Create();
    EXPECT_EQ(form->KIM2GadgetPanel->Transparency(), c.showBlack == 0);
    Tick();
    const auto shown = Control().Shown();
    EXPECT_EQ(shown.At(ox, 698 + oy), c.drawn ? At(panel, ox, oy) : At(background, ox, 698 + oy));
    const std::uint32_t keyed = shown.At(kx, 698 + ky);
    if (!c.drawn || c.showBlack == 0)
      EXPECT_EQ(keyed, At(background, kx, 698 + ky));
    else
      EXPECT_EQ(keyed, 0u);
    form.reset();
  }
}

TEST_F(SceneTest, ALostDisplayComesBackWithTheSameHearth) {
  Create();
  Tick();
  const auto before = Control().Shown();
  for (int i = 0; i < 55; ++i) Tick();  // back to the same flame frame
  Control().LoseDisplay();
  Tick();  // restored at the start of the tick, every sprite refilled
  EXPECT_EQ(form->GetFrameCounter(), 1);
  const auto after = Control().Shown();
  EXPECT_EQ(after.pixels, before.pixels);
}

TEST_F(SceneTest, ClosingReleasesEverySurface) {
  const int surfaces = Control().LiveSurfaces();
  Create();
  EXPECT_GT(Control().LiveSurfaces(), surfaces + 9 * 56);
  form->ExitSaver();
  EXPECT_EQ(Control().LiveSurfaces(), surfaces);
  EXPECT_EQ(Control().LiveDisplays(), 0);
}

}  // namespace
}  // namespace scene::testing
