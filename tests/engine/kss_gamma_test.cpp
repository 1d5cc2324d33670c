// Brightness through the gamma ramp: the ramps written, a display without gamma, the failures,
// and the stored brightness applied when the engine is enabled.
#include <algorithm>

#include "EngineFixture.h"

namespace engine::testing {
namespace {

std::array<std::uint16_t, 256> Ramp(std::int64_t step) {
  std::array<std::uint16_t, 256> ramp{};
  for (int i = 0; i < 256; ++i) ramp[i] = static_cast<std::uint16_t>(std::min<std::int64_t>(i * step, 65535));
  return ramp;
}

struct RampRow {
  std::int32_t level;
  std::uint16_t entry255;
};

class GammaRamp : public EngineTest, public ::testing::WithParamInterface<RampRow> {};

TEST_P(GammaRamp, WritesTheSameRampToAllThreeChannels) {
  Open();
  kss->SetRGB(GetParam().level);
  EXPECT_EQ(kss->Brightness(), GetParam().level);
  ASSERT_EQ(Control().GammaWrites(), 1);
  const auto ramp = Control().LastGammaRamp();
  EXPECT_EQ(ramp.red, Ramp(GetParam().level));
  EXPECT_EQ(ramp.green, ramp.red);
  EXPECT_EQ(ramp.blue, ramp.red);
  EXPECT_EQ(ramp.red[255], GetParam().entry255);
  EXPECT_TRUE(std::is_sorted(ramp.red.begin(), ramp.red.end())) << "the ramp must never fall";
  EXPECT_TRUE(errors.empty());
}

// Above 257 the entries saturate at full output instead of wrapping back towards black.
INSTANTIATE_TEST_SUITE_P(Levels, GammaRamp,
                         ::testing::Values(RampRow{0, 0}, RampRow{128, 32640}, RampRow{256, 65280},
                                           RampRow{257, 65535}, RampRow{300, 65535}, RampRow{100000, 65535}));

TEST_F(EngineTest, ALinearRampHasAStepPerChannelAndLeavesBrightnessAlone) {
  Open();
  kss->SetLinearRGB(100, 200, 300);
  EXPECT_EQ(kss->Brightness(), 256);
  const auto ramp = Control().LastGammaRamp();
  EXPECT_EQ(ramp.red, Ramp(100));
  EXPECT_EQ(ramp.green, Ramp(200));
  EXPECT_EQ(ramp.blue, Ramp(300));
  EXPECT_EQ(ramp.blue[218], 65400);
  EXPECT_EQ(ramp.blue[219], 65535);
}

TEST_F(EngineTest, ANegativeStepGivesABlackRamp) {
  Open();
  kss->SetLinearRGB(-1, 0, -300);
  const auto ramp = Control().LastGammaRamp();
  EXPECT_EQ(ramp.red, Ramp(0));
  EXPECT_EQ(ramp.blue, Ramp(0));
}

TEST_F(EngineTest, WithoutGammaBrightnessKeepsItsValueSilently) {
  Control().SetGammaAvailable(false);
  Open();
  kss->SetRGB(128);
  EXPECT_EQ(kss->Brightness(), 256);
  EXPECT_EQ(Control().GammaWrites(), 0);
  EXPECT_TRUE(errors.empty());
  EXPECT_NE(kss->FDD, nullptr);
}

TEST_F(EngineTest, AGammaControlThatCannotBeObtainedCountsAsNoGamma) {
  Open();
  Control().Fail(Op::QueryGamma);
  kss->SetRGB(128);
  EXPECT_EQ(kss->Brightness(), 256);
  EXPECT_EQ(Control().GammaWrites(), 0);
  EXPECT_TRUE(errors.empty());
  Control().Heal(Op::QueryGamma);
  kss->SetRGB(128);  // taken afresh
  EXPECT_EQ(Control().GammaWrites(), 1);
}

TEST_F(EngineTest, ALostPrimaryReportsAndWritesNothing) {
  Open();
  Control().LosePrimary();
  kss->SetRGB(128);
  EXPECT_EQ(errors, std::vector<std::string>{"Lost surface"});
  EXPECT_EQ(kss->Brightness(), 256);
  EXPECT_EQ(Control().GammaWrites(), 0);
  EXPECT_NE(kss->FDDPRIM, nullptr);  // not closed
}

struct RampFailure {
  Op op;
  const char* text;
};

class GammaFailure : public EngineTest, public ::testing::WithParamInterface<RampFailure> {};

TEST_P(GammaFailure, ReportsClosesTheDisplayAndLeavesNoControlBehind) {
  Open();
  Control().Fail(GetParam().op, ddraw::memory::Fault{ddraw::DDERR_GENERIC, 1});
  kss->SetRGB(128);
  EXPECT_EQ(errors, std::vector<std::string>{GetParam().text});
  EXPECT_EQ(kss->Brightness(), 128);
  EXPECT_EQ(Control().GammaWrites(), 0);
  EXPECT_EQ(kss->FDD, nullptr);
  EXPECT_EQ(kss->FDDPRIM, nullptr);
  EXPECT_EQ(LiveSurfacesNow(), 0) << "the gamma control kept the primary alive";
  EXPECT_EQ(LiveDisplaysNow(), 0);
  // Opened again, the next ramp goes through the new display's own control.
  kss->SetEnabled(false);
  Open();
  kss->SetRGB(64);
  EXPECT_EQ(Control().GammaWrites(), 1);
  EXPECT_EQ(Control().LastGammaRamp().red, Ramp(64));
}

INSTANTIATE_TEST_SUITE_P(Steps, GammaFailure,
                         ::testing::Values(RampFailure{Op::GetGammaRamp, "Cannot GetGammaRamp"},
                                           RampFailure{Op::SetGammaRamp, "Cannot SetGammaRamp"}));

struct StoredRow {
  std::int32_t stored;
  int writes;
};

class StoredBrightness : public EngineTest, public ::testing::WithParamInterface<StoredRow> {};

TEST_P(StoredBrightness, IsWrittenAtStartWhenItIsNotFull) {
  Open();  // a first run writes the defaults, full brightness among them
  kss->SetEnabled(false);
  ASSERT_EQ(Control().GammaWrites(), 0);
  ASSERT_TRUE(kss->WriteRKey("Brightness", GetParam().stored));
  Open();
  EXPECT_EQ(kss->Brightness(), GetParam().stored);
  EXPECT_EQ(Control().GammaWrites(), GetParam().writes);
  if (GetParam().writes > 0) {
    EXPECT_EQ(Control().LastGammaRamp().green, Ramp(GetParam().stored));
  }
}

INSTANTIATE_TEST_SUITE_P(Levels, StoredBrightness,
                         ::testing::Values(StoredRow{0, 1}, StoredRow{128, 1}, StoredRow{255, 1},
                                           StoredRow{256, 0}, StoredRow{257, 1}, StoredRow{400, 1}));

}  // namespace
}  // namespace engine::testing
