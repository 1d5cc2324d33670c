#include <alsa/asoundlib.h>
#include <gtest/gtest.h>

#include <vector>

#include "engine/Kss.h"
#include "platform/mm/MMSystem.h"
#include "settings/Settings.h"

TEST(MixerValue, LevelTimes65535ShiftedRightBy8In32Bits) {
  struct Case {
    std::uint32_t level, value;
  } cases[] = {{0, 0},
               {1, 255},
               {200, 51199},
               {255, 65279},
               {256, 65535},
               {257, 65790},
               {65536, 16776960},
               {65537, 16777215},
               {65538, 255},  // the product wraps
               {0xFFFFFFFFu, 16776960}};
  for (const auto& c : cases) EXPECT_EQ(settings::MixerValue(c.level), c.value) << c.level;
  static_assert(settings::MixerValue(200) == 51199);
}

namespace {

// The default card's "Master" playback control, looked at on its own, apart from the code under test.
class MasterProbe {
 public:
  MasterProbe() {
    if (snd_mixer_open(&mixer_, 0) < 0) {
      mixer_ = nullptr;
      return;
    }
    if (snd_mixer_attach(mixer_, "default") < 0 || snd_mixer_selem_register(mixer_, nullptr, nullptr) < 0 ||
        snd_mixer_load(mixer_) < 0)
      return;
    for (snd_mixer_elem_t* e = snd_mixer_first_elem(mixer_); e != nullptr; e = snd_mixer_elem_next(e))
      if (std::string(snd_mixer_selem_get_name(e)) == "Master" && snd_mixer_selem_get_index(e) == 0 &&
          snd_mixer_selem_has_playback_volume(e))
        master_ = e;
    if (master_ != nullptr) snd_mixer_selem_get_playback_volume_range(master_, &min_, &max_);
  }
  ~MasterProbe() {
    if (mixer_ != nullptr) snd_mixer_close(mixer_);
  }
  bool Found() const { return master_ != nullptr; }
  long Expected(std::uint32_t value) const {
    return min_ + static_cast<long>(std::int64_t{value} * (max_ - min_) / 65535);
  }
  std::vector<long> Volumes() {
    snd_mixer_handle_events(mixer_);
    std::vector<long> volumes;
    for (int ch = 0; ch <= SND_MIXER_SCHN_LAST; ++ch) {
      const auto channel = static_cast<snd_mixer_selem_channel_id_t>(ch);
      long v = 0;
      if (snd_mixer_selem_has_playback_channel(master_, channel) &&
          snd_mixer_selem_get_playback_volume(master_, channel, &v) == 0)
        volumes.push_back(v);
    }
    return volumes;
  }
  void Restore(const std::vector<long>& volumes) {
    std::size_t i = 0;
    for (int ch = 0; ch <= SND_MIXER_SCHN_LAST && i < volumes.size(); ++ch) {
      const auto channel = static_cast<snd_mixer_selem_channel_id_t>(ch);
      if (snd_mixer_selem_has_playback_channel(master_, channel))
        snd_mixer_selem_set_playback_volume(master_, channel, volumes[i++]);
    }
  }

 private:
  snd_mixer_t* mixer_ = nullptr;
  snd_mixer_elem_t* master_ = nullptr;
  long min_ = 0, max_ = 0;
};

}  // namespace

TEST(MasterVolume, SetWhereTheMachineHasAMasterControlAndRefusedWhereNot) {
  MasterProbe probe;
  engine::TKss kss(nullptr);
  if (!probe.Found()) {
    // No sound card (as on the build machines): a plain false, nothing else.
    EXPECT_FALSE(kss.SetMasterMixVolume(200));
    EXPECT_FALSE(mm::SetMasterVolume(0));
    EXPECT_FALSE(mm::SetMasterVolume(65535));
    return;
  }
  const std::vector<long> before = probe.Volumes();
  struct Case {
    std::uint32_t level, value;
  } cases[] = {{200, 51199}, {0, 0}, {256, 65535}, {300, 65535}};  // past the top: the loudest there is
  for (const auto& c : cases) {
    EXPECT_TRUE(kss.SetMasterMixVolume(c.level)) << c.level;
    for (long v : probe.Volumes()) EXPECT_EQ(v, probe.Expected(c.value)) << c.level;
  }
  probe.Restore(before);
}
