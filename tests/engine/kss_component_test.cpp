// The engine component: its properties, opening and closing the display, the failure rows, the
// window it opens on, the sprite walk, the activation hooks and FullExit.
#include <functional>

#include "EngineFixture.h"
#include "sprites/KIM.h"
#include "sprites/KMV.h"

namespace engine::testing {
namespace {

using ddraw::memory::Fault;

TEST(KssComponent, StartsWithItsDeclaredValues) {
  vcl::TForm owner(nullptr);
  TKss kss(&owner);
  EXPECT_FALSE(kss.ShowFPS());
  EXPECT_FALSE(kss.Enabled());
  EXPECT_FALSE(kss.OnError);
  EXPECT_FALSE(kss.OnGameLoop);
  EXPECT_FALSE(kss.OnTimer);
  EXPECT_EQ(kss.WidthScreen(), 800);
  EXPECT_EQ(kss.HeightScreen(), 600);
  EXPECT_EQ(kss.ColorDepth(), 24);
  EXPECT_EQ(kss.GetErrorResult(), "");
  EXPECT_FALSE(kss.DualMonitor());
  EXPECT_FALSE(kss.DefineFormHandle());
  EXPECT_EQ(kss.DDForm(), nullptr);
  EXPECT_FALSE(kss.ShowTestString() || kss.ShowTestString2() || kss.ShowTestString3());
  EXPECT_EQ(kss.TestString() + kss.TestString2() + kss.TestString3(), "");
  EXPECT_FALSE(kss.TimerEnabled());
  EXPECT_EQ(kss.TimerDelay(), 40);
  EXPECT_EQ(kss.Brightness(), 256);
  EXPECT_TRUE(kss.UseIdle());
  EXPECT_EQ(kss.SoundVolume(), 0);
  EXPECT_EQ(kss.BrandName() + kss.SSName(), "");
  EXPECT_FALSE(kss.BigTick());
  EXPECT_EQ(kss.GetTDegree() + kss.GetWeatherCode() + kss.GetRSS_Url() + kss.GetProxy() + kss.GetPort(), "");
  EXPECT_EQ(kss.GetShowTime() | kss.GetShowWeather() | kss.GetShowNews() | kss.GetShowBlack() | kss.GetUseProxy(),
            0);
  EXPECT_EQ(kss.FDD, nullptr);
  EXPECT_EQ(kss.FDDPRIM, nullptr);
  EXPECT_EQ(kss.FDDBACK, nullptr);
}

TEST_F(EngineTest, ScreenSizeAlsoSizesTheControl) {
  kss->SetWidthScreen(1024);
  kss->SetHeightScreen(768);
  EXPECT_EQ(kss->Width(), 1024);
  EXPECT_EQ(kss->Height(), 768);
}

TEST_F(EngineTest, OpeningSetsTheModeTheChainAndABlackScreen) {
  Open();
  EXPECT_EQ(Control().CooperativeFlags(), 0x11u);
  const auto mode = Control().DisplayMode();
  EXPECT_EQ(mode.width, static_cast<std::uint32_t>(kW));
  EXPECT_EQ(mode.height, static_cast<std::uint32_t>(kH));
  EXPECT_EQ(mode.bpp, 32u);
  EXPECT_EQ(form->BorderStyle(), vcl::TBorderStyle::bsNone);
  EXPECT_EQ(form->Color, vcl::TColor::clBlack);
  EXPECT_EQ(kss->Color, vcl::TColor::clBlack);
  EXPECT_FALSE(kss->Visible);
  const auto shown = Control().Shown();
  EXPECT_EQ(shown.serial, 1u);
  EXPECT_EQ(shown.pixels, BlackFrame());
  EXPECT_TRUE(errors.empty());
}

TEST_F(EngineTest, EnablingTwiceOpensOnceAndDisablingTwiceClosesOnce) {
  kss->SetEnabled(false);  // while disabled: nothing
  EXPECT_FALSE(kss->Enabled());
  kss->SetEnabled(true);
  kss->SetEnabled(true);
  EXPECT_TRUE(kss->Enabled());
  EXPECT_EQ(Control().Calls(Op::Create), 1);
  EXPECT_EQ(Control().Calls(Op::CreatePrimary), 1);
  EXPECT_EQ(LiveDisplaysNow(), 1);
  EXPECT_EQ(LiveSurfacesNow(), 2);
  kss->SetEnabled(false);
  kss->SetEnabled(false);
  EXPECT_FALSE(kss->Enabled());
  EXPECT_EQ(kss->FDD, nullptr);
  EXPECT_EQ(kss->FDDPRIM, nullptr);
  EXPECT_EQ(kss->FDDBACK, nullptr);
  EXPECT_EQ(LiveDisplaysNow(), 0);
  EXPECT_EQ(LiveSurfacesNow(), 0);
  kss->SetEnabled(true);  // and opens again
  EXPECT_NE(kss->FDDBACK, nullptr);
  EXPECT_EQ(Control().Calls(Op::Create), 2);
}

struct FailureRow {
  const char* name;
  std::function<void(TKss&)> arrange;
  const char* text;
  bool opened;  // the display ends open anyway
};

class EngineFailure : public EngineTest, public ::testing::WithParamInterface<FailureRow> {};

TEST_P(EngineFailure, ReportsItsTextOnceAndKeepsTheFramePathOffMissingSurfaces) {
  const FailureRow& row = GetParam();
  row.arrange(*kss);
  bool closedWhenRaised = false;
  kss->OnError = [&](vcl::TObject* sender) {
    EXPECT_EQ(sender, kss);
    errors.push_back(kss->GetErrorResult());
    closedWhenRaised = kss->FDD == nullptr && LiveDisplaysNow() == 0;
  };
  kss->SetEnabled(true);
  EXPECT_TRUE(kss->Enabled());
  EXPECT_EQ(kss->GetErrorResult(), row.text);
  ASSERT_EQ(errors, std::vector<std::string>{row.text});
  if (row.opened) {
    EXPECT_NE(kss->FDDBACK, nullptr);
    return;
  }
  EXPECT_TRUE(closedWhenRaised);
  EXPECT_EQ(kss->FDD, nullptr);
  EXPECT_EQ(kss->FDDPRIM, nullptr);
  EXPECT_EQ(kss->FDDBACK, nullptr);
  EXPECT_EQ(LiveSurfacesNow(), 0);

  // Without surfaces every step of the frame path leaves the display alone.
  kss->SetshowFPS(true);
  kss->SetShowTestString(true);
  kss->SetTestString("x");
  kss->TimerTick();
  bool done = true;
  kss->GameLoop(nullptr, done);
  kss->ClearAllSurface();
  kss->IsLostRestore();
  kss->FlipSurfaces();
  kss->SetRGB(128);
  kss->SetLinearRGB(1, 2, 3);
  EXPECT_EQ(kss->Brightness(), 256);
  EXPECT_EQ(Control().GammaWrites(), 0);
  EXPECT_EQ(Control().Calls(Op::Fill) + Control().Calls(Op::Flip) + Control().Calls(Op::GetDC), 0);
  EXPECT_EQ(errors.size(), 1u);
  kss->SetTimerEnabled(true);  // the timer may run; its ticks find nothing to draw on
  kss->SetTimerEnabled(false);
}

void DualMonitors(TKss& kss) {
  kss.SetDualMonitor(true);
  Control().SetMonitorCount(2);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, EngineFailure,
    ::testing::Values(
        FailureRow{"OneMonitor", [](TKss& k) { k.SetDualMonitor(true); },
                   "This program work only in dual monitor system!", false},
        FailureRow{"NoEnumeration",
                   [](TKss& k) {
                     DualMonitors(k);
                     Control().SetEnumerationAvailable(false);
                   },
                   "ERROR EnumerateScreens", true},
        FailureRow{"SecondaryCreate",
                   [](TKss& k) {
                     DualMonitors(k);
                     Control().Fail(Op::Create);
                   },
                   "Error DirectDrawCreate on secondary monitor", false},
        FailureRow{"Create", [](TKss&) { Control().Fail(Op::Create); }, "Error DirectDrawCreate", false},
        FailureRow{"CooperativeLevel", [](TKss&) { Control().Fail(Op::CooperativeLevel); },
                   "Error SetCooperativeLevel", false},
        FailureRow{"DisplayMode", [](TKss&) { Control().Fail(Op::DisplayMode); }, "Error SetDisplayMode", false},
        FailureRow{"Primary", [](TKss&) { Control().Fail(Op::CreatePrimary); }, "Error CreatePrimarySurface",
                   false},
        FailureRow{"Back", [](TKss&) { Control().Fail(Op::GetAttachedSurface); }, "Error CreateBackSurface",
                   false}),
    [](const ::testing::TestParamInfo<FailureRow>& info) { return std::string(info.param.name); });

TEST_F(EngineTest, OneMonitorCreatesNoDisplayObjectAtAll) {
  kss->SetDualMonitor(true);
  kss->SetEnabled(true);
  EXPECT_EQ(Control().Calls(Op::Create), 0);
  EXPECT_EQ(LiveDisplaysNow(), 0);
}

TEST_F(EngineTest, DualMonitorOpensOnWhateverDevicesAreReported) {
  DualMonitors(*kss);
  for (int devices : {0, 1, 2, 3}) {
    SCOPED_TRACE(devices);
    Control().SetDeviceCount(devices);
    kss->SetEnabled(true);
    EXPECT_NE(kss->FDDBACK, nullptr);
    EXPECT_EQ(kss->GetErrorResult(), "");
    kss->SetEnabled(false);
  }
  EXPECT_TRUE(errors.empty());
}

TEST_F(EngineTest, EnumerationWithoutTheFacilityGivesEFail) {
  Control().SetEnumerationAvailable(false);
  EXPECT_EQ(kss->EnumerateScreens(), ddraw::E_FAIL);
  Control().SetEnumerationAvailable(true);
  EXPECT_EQ(kss->EnumerateScreens(), ddraw::DD_OK);
}

// A window system that makes windows that do nothing, so that forms have handles to tell apart.
class QuietWindow : public vcl::NativeWindow {
 public:
  void Show() override {}
  void Hide() override {}
  void SetBorderless(bool) override {}
  void SetSize(std::int32_t, std::int32_t) override {}
  void SetCaption(const std::string&) override {}
  void SetCursorVisible(bool) override {}
  std::uintptr_t XWindowId() const override { return 0; }
};

class EngineWindow : public EngineTest {
 protected:
  void SetUp() override {
    vcl::SetWindowFactory([](vcl::TForm&) { return std::make_unique<QuietWindow>(); });
    EngineTest::SetUp();
  }
  void TearDown() override {
    EngineTest::TearDown();
    vcl::SetWindowFactory(nullptr);
  }
};

TEST_F(EngineWindow, DefineFormHandleWithoutDDFormUsesTheOwner) {
  kss->SetFormHandle(true);
  Open();
  EXPECT_EQ(kss->DDForm(), form.get());
  EXPECT_NE(form->Handle(), nullptr);
  EXPECT_EQ(Control().CooperativeWindow(), form->Handle());
}

TEST_F(EngineWindow, DefineFormHandleWithDDFormUsesThatForm) {
  vcl::TForm other(nullptr);
  kss->SetFormHandle(true);
  kss->SetParentForm(&other);
  Open();
  EXPECT_EQ(kss->DDForm(), &other);
  EXPECT_EQ(Control().CooperativeWindow(), other.Handle());
  kss->SetEnabled(false);
}

TEST_F(EngineWindow, WithoutDefineFormHandleTheOwnerReplacesDDForm) {
  vcl::TForm other(nullptr);
  kss->SetParentForm(&other);
  Open();
  EXPECT_EQ(kss->DDForm(), form.get());
  EXPECT_EQ(Control().CooperativeWindow(), form->Handle());
}

TEST_F(EngineTest, AnOwnerThatIsNoFormOpensWithoutAWindow) {
  vcl::TComponent owner(nullptr);
  auto* loose = new TKss(&owner);
  loose->SetWidthScreen(kW);
  loose->SetHeightScreen(kH);
  loose->SetEnabled(true);
  EXPECT_NE(loose->FDDBACK, nullptr);
  EXPECT_EQ(loose->DDForm(), nullptr);
  EXPECT_EQ(Control().CooperativeWindow(), nullptr);
  loose->FullExit();  // no form to close
  loose->SetEnabled(false);
  EXPECT_EQ(LiveSurfacesNow(), 0);
}

// Not a sprite, though it has methods of the same names: the engine must leave it alone.
class LookAlike : public vcl::TImage {
 public:
  using vcl::TImage::TImage;
  void CloseDXImage() { ++calls; }
  void RestoreSurface() { ++calls; }
  int calls = 0;
};

// A gadget is a still-image sprite of a class of its own.
class Gadget : public sprites::TKIM {
 public:
  using sprites::TKIM::TKIM;
  const char* ClassName() const override { return "TKGX"; }
};

vcl::TBitmap Solid(std::int32_t w, std::int32_t h, std::uint32_t color) {
  vcl::TBitmap bitmap;
  bitmap.SetPixels(w, h, std::vector<std::uint32_t>(static_cast<std::size_t>(w) * h, color));
  return bitmap;
}

TEST_F(EngineTest, ClosingReleasesTheSurfacesOfSpritesOnlyAndEveryOneOfThem) {
  Open();
  auto* image = new sprites::TKIM(form.get());
  auto* gadget = new Gadget(form.get());
  auto* movie = new sprites::TKMV(form.get());
  auto* lookAlike = new LookAlike(form.get());
  new vcl::TPanel(form.get());
  const vcl::TBitmap picture = Solid(8, 8, 0x00FF0000), strip = Solid(8, 16, 0x0000FF00);
  for (sprites::TKIM* s : {image, static_cast<sprites::TKIM*>(gadget)}) {
    s->SetParent(kss);
    s->Picture()->SetGraphic(&picture);
    s->CreateDXImage();
    ASSERT_NE(s->Surface(), nullptr) << s->GetErrorResult();
  }
  movie->SetParent(kss);
  movie->Picture()->SetGraphic(&strip);
  movie->SetYOffsetFrame(8);
  movie->CreateDXMovie();
  ASSERT_EQ(movie->CountFrame(), 2) << movie->GetErrorResult();
  ASSERT_NE(movie->Surface(1), nullptr);
  EXPECT_EQ(LiveSurfacesNow(), 2 + 2 + 2);

  kss->SetEnabled(false);
  EXPECT_EQ(image->Surface(), nullptr);
  EXPECT_EQ(gadget->Surface(), nullptr);
  EXPECT_EQ(movie->Surface(0), nullptr);
  EXPECT_EQ(movie->Surface(1), nullptr);
  EXPECT_EQ(lookAlike->calls, 0);
  EXPECT_EQ(LiveSurfacesNow(), 0);
}

TEST_F(EngineTest, ActivationHooksStopAndRestartTheTimer) {
  auto& app = vcl::Application();
  Open();
  ASSERT_TRUE(app.OnActivate && app.OnDeactivate);
  kss->SetTimerEnabled(true);
  ASSERT_TRUE(kss->TimerEnabled());
  app.SetActive(false);
  EXPECT_FALSE(kss->TimerEnabled());
  app.SetActive(true);
  EXPECT_TRUE(kss->TimerEnabled());
  kss->SetEnabled(false);
  EXPECT_FALSE(kss->TimerEnabled());
  // The hooks stay, but only an enabled engine starts its timer again.
  app.SetActive(false);
  app.SetActive(true);
  EXPECT_FALSE(kss->TimerEnabled());
}

TEST_F(EngineTest, TheIdleHookFollowsUseIdleAndTheActivation) {
  auto& app = vcl::Application();
  kss->SetUseIdle(true);
  Open();
  ASSERT_TRUE(app.OnIdle);
  bool done = true;
  const auto flips = Control().Shown().serial;
  app.OnIdle(&app, done);  // one idle frame
  EXPECT_FALSE(done);
  EXPECT_EQ(Control().Shown().serial, flips + 1);
  app.SetActive(false);
  EXPECT_FALSE(app.OnIdle);
  app.SetActive(true);
  EXPECT_TRUE(app.OnIdle);
  kss->StopIdle(true);
  EXPECT_FALSE(app.OnIdle);
  kss->StopIdle(false);
  EXPECT_TRUE(app.OnIdle);
  kss->SetUseIdle(false);
  kss->StopIdle(true);
  kss->StopIdle(false);  // UseIdle off: stays unhooked
  EXPECT_FALSE(app.OnIdle);
  kss->SetUseIdle(true);
  kss->StopIdle(false);
  kss->SetEnabled(false);
  EXPECT_FALSE(app.OnIdle);
}

TEST_F(EngineTest, AnEngineThatGoesTakesItsHooksAndItsTimerWithIt) {
  auto& app = vcl::Application();
  kss->SetUseIdle(true);
  Open();
  kss->SetTimerEnabled(true);
  ASSERT_TRUE(app.OnIdle && app.OnActivate && app.OnDeactivate);
  delete kss;  // still enabled, timer running
  kss = new TKss(form.get());  // for the fixture's tear-down
  EXPECT_FALSE(app.OnIdle || app.OnActivate || app.OnDeactivate);
  EXPECT_EQ(LiveSurfacesNow(), 0);
  EXPECT_EQ(LiveDisplaysNow(), 0);
  app.SetActive(false);  // reaches no engine
  app.SetActive(true);
}

TEST_F(EngineTest, FullExitHidesResizesAndClosesTheOwner) {
  bool closed = false;
  form->OnClose = [&](vcl::TObject*) { closed = true; };
  form->Show();
  form->SetBorderStyle(vcl::TBorderStyle::bsNone);
  kss->FullExit();
  EXPECT_TRUE(closed);
  EXPECT_TRUE(form->Closed());
  EXPECT_FALSE(form->Visible);
  EXPECT_EQ(form->BorderStyle(), vcl::TBorderStyle::bsSizeable);
  EXPECT_EQ(form->Width(), 20);
  EXPECT_EQ(form->Height(), 20);
}

}  // namespace
}  // namespace engine::testing
