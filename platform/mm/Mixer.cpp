// The master volume on the ALSA simple mixer element "Master" of the default card.
#include <alsa/asoundlib.h>

#include <cstdint>

#include "platform/mm/MMSystem.h"

namespace mm {

namespace {

// ALSA reports a missing card on stderr by itself; a machine without a mixer is an ordinary case
// here (the result says so), not something to print.
void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}

class Mixer {
 public:
  Mixer() {
    snd_lib_error_set_handler(&QuietAlsa);
    if (snd_mixer_open(&handle_, 0) < 0) handle_ = nullptr;
  }
  ~Mixer() {
    if (handle_ != nullptr) snd_mixer_close(handle_);
  }
  Mixer(const Mixer&) = delete;
  Mixer& operator=(const Mixer&) = delete;

  snd_mixer_elem_t* Master() {
    if (handle_ == nullptr || snd_mixer_attach(handle_, "default") < 0 ||
        snd_mixer_selem_register(handle_, nullptr, nullptr) < 0 || snd_mixer_load(handle_) < 0)
      return nullptr;
    snd_mixer_selem_id_t* id = nullptr;
    snd_mixer_selem_id_alloca(&id);
    snd_mixer_selem_id_set_index(id, 0);
    snd_mixer_selem_id_set_name(id, "Master");
    return snd_mixer_find_selem(handle_, id);
  }

 private:
  snd_mixer_t* handle_ = nullptr;
};

}  // namespace

bool SetMasterVolume(std::uint32_t value) {
  // The mixer's scale ends at 65535; a larger value is the loudest the output has.
  if (value > 65535) value = 65535;
  Mixer mixer;
  snd_mixer_elem_t* master = mixer.Master();
  if (master == nullptr || !snd_mixer_selem_has_playback_volume(master)) return false;
  long min = 0, max = 0;
  if (snd_mixer_selem_get_playback_volume_range(master, &min, &max) < 0 || max < min) return false;
  const long volume = min + static_cast<long>(static_cast<std::int64_t>(value) *
                                              (static_cast<std::int64_t>(max) - min) / 65535);
  return snd_mixer_selem_set_playback_volume_all(master, volume) >= 0;
}

}  // namespace mm
