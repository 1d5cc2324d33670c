// The frame timer and the frame cycle: ticks in timer and idle mode, BigTick, the overlays, the
// flip with its retry, surface loss and restore, and closing while the timer thread draws.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "EngineFixture.h"
#include "sprites/KIM.h"

namespace engine::testing {
namespace {

using ddraw::memory::Fault;
using namespace std::chrono_literals;

TEST_F(EngineTest, TimerEnabledStaysOffWhileTheEngineIsDisabled) {
  kss->SetTimerEnabled(true);
  EXPECT_FALSE(kss->TimerEnabled());
  Open();
  kss->SetTimerEnabled(true);
  EXPECT_TRUE(kss->TimerEnabled());
  kss->SetEnabled(false);  // closing stops it
  EXPECT_FALSE(kss->TimerEnabled());
  kss->SetTimerEnabled(true);
  EXPECT_FALSE(kss->TimerEnabled());
}

struct BigTickRow {
  std::int32_t delay;
  int ticksPerChange;
};

class BigTickPeriod : public EngineTest, public ::testing::WithParamInterface<BigTickRow> {};

TEST_P(BigTickPeriod, ChangesEveryPeriodPlusOneTicks) {
  kss->SetInterval(GetParam().delay);
  EXPECT_EQ(kss->TimerDelay(), GetParam().delay);
  kss->SetUseIdle(true);  // ticks only count: nothing to draw
  const int n = GetParam().ticksPerChange;
  std::vector<int> changes;
  bool last = kss->BigTick();
  for (int tick = 1; tick <= 2 * n; ++tick) {
    kss->TimerTick();
    if (kss->BigTick() != last) {
      changes.push_back(tick);
      last = kss->BigTick();
    }
  }
  EXPECT_EQ(changes, (std::vector<int>{n, 2 * n}));
}

INSTANTIATE_TEST_SUITE_P(Delays, BigTickPeriod,
                         ::testing::Values(BigTickRow{40, 501}, BigTickRow{1000, 21}, BigTickRow{2000, 1},
                                           BigTickRow{1001, 1}, BigTickRow{1, 20001}));

TEST_F(EngineTest, ADelayBelowOneIsRefused) {
  kss->SetUseIdle(true);
  for (std::int32_t refused : {0, -1, -40}) {
    kss->SetInterval(refused);
    EXPECT_EQ(kss->TimerDelay(), 40);
  }
  int ticks = 0;
  for (bool start = kss->BigTick(); kss->BigTick() == start && ticks < 1000;) {
    kss->TimerTick();
    ++ticks;
  }
  EXPECT_EQ(ticks, 501);  // the 40 ms period still holds
}

TEST_F(EngineTest, ATimerTickClearsDrawsAndFlips) {
  Open();
  const ddraw::RECT square{10, 20, 30, 50};
  std::vector<std::uint32_t> seenBeforeDrawing;
  kss->OnTimer = [&](vcl::TObject* sender) {
    EXPECT_EQ(sender, kss);
    seenBeforeDrawing = PixelsOf(kss->FDDBACK);
    FillRect(kss->FDDBACK, 0x00123456, square);
  };
  FillRect(kss->FDDBACK, 0x00FFFFFF, ddraw::RECT{0, 0, kW, kH});  // left over from before
  kss->TimerTick();
  EXPECT_EQ(seenBeforeDrawing, BlackFrame());
  auto expected = BlackFrame();
  for (int y = square.top; y < square.bottom; ++y)
    for (int x = square.left; x < square.right; ++x) expected[static_cast<std::size_t>(y) * kW + x] = 0x00123456;
  const auto shown = Control().Shown();
  EXPECT_EQ(shown.serial, 2u);  // the opening flip and this one
  EXPECT_EQ(shown.pixels, expected);
}

TEST_F(EngineTest, InIdleModeTheTickOnlyRaisesOnTimerAndTheIdleHandlerDrawsTheFrame) {
  kss->SetUseIdle(true);
  Open();
  int timer = 0, loop = 0;
  kss->OnTimer = [&](vcl::TObject*) { ++timer; };
  kss->OnGameLoop = [&](vcl::TObject* sender) {
    EXPECT_EQ(sender, kss);
    ++loop;
  };
  const int fills = Control().Calls(Op::Fill), flips = Control().Calls(Op::Flip);
  kss->TimerTick();
  EXPECT_EQ(timer, 1);
  EXPECT_EQ(Control().Calls(Op::Fill), fills);
  EXPECT_EQ(Control().Calls(Op::Flip), flips);
  bool done = true;
  kss->GameLoop(nullptr, done);
  EXPECT_FALSE(done);
  EXPECT_EQ(loop, 1);
  EXPECT_EQ(Control().Calls(Op::Fill, ddraw::memory::kBack), fills + 1);
  EXPECT_EQ(Control().Calls(Op::Flip), flips + 1);
}

TEST_F(EngineTest, NoFrameIsDrawnWhileTheApplicationIsInactive) {
  Open();
  kss->SetInterval(2000);  // BigTick would change on every tick
  int timer = 0;
  kss->OnTimer = [&](vcl::TObject*) { ++timer; };
  kss->OnGameLoop = [&](vcl::TObject*) { ++timer; };
  const bool bigTick = kss->BigTick();
  const int fills = Control().Calls(Op::Fill), flips = Control().Calls(Op::Flip);
  kss->AppDeactivate(nullptr);
  kss->TimerTick();
  bool done = true;
  kss->GameLoop(nullptr, done);
  EXPECT_FALSE(done);
  EXPECT_EQ(timer, 0);
  EXPECT_EQ(kss->BigTick(), bigTick);
  EXPECT_EQ(Control().Calls(Op::Fill), fills);
  EXPECT_EQ(Control().Calls(Op::Flip), flips);
  kss->AppActivate(nullptr);
  kss->SetTimerEnabled(false);
  kss->TimerTick();
  EXPECT_EQ(timer, 1);
  EXPECT_NE(kss->BigTick(), bigTick);
}

TEST_F(EngineTest, ClearAllSurfaceFillsBothBuffersBlack) {
  Open();
  FillRect(kss->FDDPRIM, 0x00FFFFFF, ddraw::RECT{0, 0, kW, kH});
  FillRect(kss->FDDBACK, 0x00FFFFFF, ddraw::RECT{0, 0, kW, kH});
  kss->ClearAllSurface();
  EXPECT_EQ(PixelsOf(kss->FDDPRIM), BlackFrame());
  EXPECT_EQ(PixelsOf(kss->FDDBACK), BlackFrame());
}

TEST_F(EngineTest, TheFrameRateShowsZeroForTheFirstNineteenCalls) {
  Open();
  auto expected = BlackFrame();
  WhiteText(expected, 20, kH - 30, "Frame rate: 0 FPS");
  for (int call = 1; call <= 19; ++call) {
    SCOPED_TRACE(call);
    kss->ClearBackSurface();
    kss->FuncShowFPS();
    EXPECT_EQ(FpsRate.load(), 0);
    EXPECT_EQ(PixelsOf(kss->FDDBACK), expected);
  }
  EXPECT_EQ(FpsFrameCount.load(), 9);
  EXPECT_NE(FpsLastTime.load(), 0u);  // measured once, at the tenth call
}

TEST_F(EngineTest, TheFrameRateCountsTenFramesOverTheTimeTheyTook) {
  Open();
  for (int call = 0; call < 10; ++call) kss->FuncShowFPS();
  // Ten more frames over at least 20 ms: at most 500 frames per second, and more than none.
  std::this_thread::sleep_for(20ms);
  for (int call = 0; call < 10; ++call) kss->FuncShowFPS();
  EXPECT_GT(FpsRate.load(), 0);
  EXPECT_LE(FpsRate.load(), 500);
  EXPECT_EQ(FpsFrameCount.load(), 0);
}

TEST_F(EngineTest, TheOverlaysAreDrawnOnTheFlippedFrame) {
  Open();
  kss->SetshowFPS(true);
  kss->SetShowTestString(true);
  kss->SetShowTestString2(true);
  kss->SetShowTestString3(true);
  kss->SetTestString("first line");
  kss->SetTestString2("second \xE9");
  kss->SetTestString3("third");
  kss->TimerTick();
  auto expected = BlackFrame();
  WhiteText(expected, 20, kH - 30, "Frame rate: 0 FPS");
  WhiteText(expected, 20, 20, "first line");
  WhiteText(expected, 20, 40, "second \xE9");
  WhiteText(expected, 20, 60, "third");
  EXPECT_EQ(Control().Shown().pixels, expected);
  EXPECT_NE(expected, BlackFrame());

  kss->SetShowTestString2(false);
  kss->SetshowFPS(false);
  kss->TimerTick();
  expected = BlackFrame();
  WhiteText(expected, 20, 20, "first line");
  WhiteText(expected, 20, 60, "third");
  EXPECT_EQ(Control().Shown().pixels, expected);
}

TEST_F(EngineTest, OverlaysWithoutADeviceContextAreLeftOut) {
  Open();
  kss->SetshowFPS(true);
  kss->SetShowTestString(true);
  kss->SetTestString("x");
  Control().Fail(Op::GetDC);
  kss->TimerTick();
  EXPECT_EQ(Control().Shown().pixels, BlackFrame());
  EXPECT_EQ(FpsFrameCount.load(), 1);  // counted all the same
}

TEST_F(EngineTest, TheFlipIsRetriedWhileThePreviousOneIsStillDrawing) {
  Open();
  const int flips = Control().Calls(Op::Flip);
  const auto serial = Control().Shown().serial;
  Control().Fail(Op::Flip, Fault{ddraw::DDERR_WASSTILLDRAWING, 3});
  kss->FlipSurfaces();
  EXPECT_EQ(Control().Calls(Op::Flip), flips + 4);
  EXPECT_EQ(Control().Shown().serial, serial + 1);
}

TEST_F(EngineTest, AFlipThatStaysBusyIsGivenUpForTheFrame) {
  Open();
  const auto serial = Control().Shown().serial;
  Control().Fail(Op::Flip, Fault{ddraw::DDERR_WASSTILLDRAWING});
  kss->FlipSurfaces();  // returns
  EXPECT_EQ(Control().Shown().serial, serial);
  Control().Heal(Op::Flip);
  kss->FlipSurfaces();
  EXPECT_EQ(Control().Shown().serial, serial + 1);
}

TEST_F(EngineTest, OtherFlipFailuresEndTheStepQuietly) {
  Open();
  const int flips = Control().Calls(Op::Flip), restores = Control().Calls(Op::Restore);
  Control().Fail(Op::Flip, Fault{ddraw::DDERR_GENERIC, 1});
  kss->FlipSurfaces();
  EXPECT_EQ(Control().Calls(Op::Flip), flips + 1);
  EXPECT_EQ(Control().Calls(Op::Restore), restores);
  EXPECT_TRUE(errors.empty());
}

// A red square sprite at (4, 4) on the engine.
class EngineWithSprite : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    Open();
    sprite = new sprites::TKIM(form.get());
    sprite->SetParent(kss);
    vcl::TBitmap picture;
    picture.SetPixels(8, 8, std::vector<std::uint32_t>(64, kRed));
    sprite->Picture()->SetGraphic(&picture);
    sprite->SetShowX(4);
    sprite->SetShowY(4);
    sprite->CreateDXImage();
    ASSERT_NE(sprite->Surface(), nullptr) << sprite->GetErrorResult();
    kss->OnTimer = [this](vcl::TObject*) {
      sprite->DrawImage();
      if (loseWhileDrawing) {
        loseWhileDrawing = false;
        Control().LoseDisplay();
      }
    };
    expected = BlackFrame();
    for (int y = 4; y < 12; ++y)
      for (int x = 4; x < 12; ++x) expected[static_cast<std::size_t>(y) * kW + x] = kRed;
  }

  static constexpr std::uint32_t kRed = 0x00FF0000;
  sprites::TKIM* sprite = nullptr;
  bool loseWhileDrawing = false;
  std::vector<std::uint32_t> expected;
};

TEST_F(EngineWithSprite, ADisplayLostWhileDrawingIsRestoredAtTheFlipAndTheNextFrameIsWhole) {
  kss->TimerTick();
  ASSERT_EQ(Control().Shown().pixels, expected);
  const int restores = Control().Calls(Op::Restore, ddraw::memory::kPrimary);
  loseWhileDrawing = true;
  kss->TimerTick();
  EXPECT_EQ(Control().Calls(Op::Restore, ddraw::memory::kPrimary), restores + 1);
  EXPECT_EQ(kss->FDDPRIM->IsLost(), ddraw::DD_OK);
  EXPECT_EQ(sprite->Surface()->IsLost(), ddraw::DD_OK);  // refilled by the walk
  EXPECT_EQ(PixelsOf(sprite->Surface()), std::vector<std::uint32_t>(64, kRed));
  kss->TimerTick();
  EXPECT_EQ(Control().Shown().pixels, expected);
  EXPECT_TRUE(errors.empty());
}

TEST_F(EngineWithSprite, AFlipThatFindsTheSurfaceLostRestoresAtOnce) {
  Control().LoseDisplay();
  Control().Fail(Op::Restore, Fault{ddraw::DDERR_GENERIC, 1, 0, ddraw::memory::kPrimary});
  const int restores = Control().Calls(Op::Restore, ddraw::memory::kPrimary);
  kss->FlipSurfaces();  // the first restore fails, the flip finds the chain lost, the second restores
  EXPECT_EQ(Control().Calls(Op::Restore, ddraw::memory::kPrimary), restores + 2);
  EXPECT_EQ(kss->FDDPRIM->IsLost(), ddraw::DD_OK);
  EXPECT_EQ(PixelsOf(sprite->Surface()), std::vector<std::uint32_t>(64, kRed));
  kss->TimerTick();
  EXPECT_EQ(Control().Shown().pixels, expected);
}

TEST_F(EngineWithSprite, NothingIsRefilledWhileTheDisplayIsWhole) {
  const int restores = Control().Calls(Op::Restore);
  kss->IsLostRestore();
  kss->TimerTick();
  EXPECT_EQ(Control().Calls(Op::Restore), restores);
}

// --- the timer thread ---

class Ticks {
 public:
  void Add() {
    std::lock_guard lock(mutex_);
    ++count_;
    changed_.notify_all();
  }
  bool WaitFor(int n) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, 10s, [&] { return count_ >= n; });
  }
  int Count() {
    std::lock_guard lock(mutex_);
    return count_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int count_ = 0;
};

TEST_F(EngineTest, TheTimerDrawsFramesOnItsOwnThreadUntilItIsStopped) {
  Open();
  kss->SetInterval(5);
  Ticks ticks;
  const auto mainThread = std::this_thread::get_id();
  kss->OnTimer = [&](vcl::TObject*) {
    EXPECT_NE(std::this_thread::get_id(), mainThread);
    FillRect(kss->FDDBACK, 0x00FFFFFF, ddraw::RECT{0, 0, 4, 4});
    ticks.Add();
  };
  kss->SetshowFPS(true);
  kss->SetShowTestString(true);
  kss->SetTimerEnabled(true);
  for (int i = 0; i < 20; ++i) {  // the main thread changes what the overlays show meanwhile
    kss->SetTestString(i % 2 ? "odd" : "even");
    kss->SetshowFPS(i % 3 != 0);
  }
  ASSERT_TRUE(ticks.WaitFor(5));
  kss->SetTimerEnabled(false);
  const int stoppedAt = ticks.Count();
  std::this_thread::sleep_for(30ms);
  EXPECT_EQ(ticks.Count(), stoppedAt);  // no tick after the stop returned
  EXPECT_GE(Control().Shown().serial, 6u);
}

TEST_F(EngineTest, ClosingWaitsForTheRunningTickBeforeAnySurfaceGoes) {
  Open();
  kss->SetInterval(5);
  std::mutex mutex;
  std::condition_variable started;
  bool inTick = false, finished = false, surfacesThere = false;
  int ticks = 0;
  kss->OnTimer = [&](vcl::TObject*) {
    {
      std::lock_guard lock(mutex);
      if (++ticks > 1) return;
      inTick = true;
    }
    started.notify_all();
    std::this_thread::sleep_for(50ms);  // the main thread is closing meanwhile
    const bool there = kss->FDDBACK != nullptr && kss->FDDPRIM != nullptr &&
                       FillRect(kss->FDDBACK, 0x00FFFFFF, ddraw::RECT{0, 0, 4, 4}) == ddraw::DD_OK;
    std::lock_guard lock(mutex);
    surfacesThere = there;
    finished = true;
  };
  kss->SetTimerEnabled(true);
  {
    std::unique_lock lock(mutex);
    ASSERT_TRUE(started.wait_for(lock, 10s, [&] { return inTick; }));
  }
  kss->SetEnabled(false);
  std::lock_guard lock(mutex);
  EXPECT_TRUE(finished);
  EXPECT_TRUE(surfacesThere);
  EXPECT_EQ(kss->FDDBACK, nullptr);
}

}  // namespace
}  // namespace engine::testing
