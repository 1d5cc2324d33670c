// The looping sound: a WAVE from the program's data, decoded and converted to the output's format
// once, then played by SDL's audio callback, which wraps around at the end for a gapless loop.
#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstring>
#include <mutex>
#include <vector>

#include "assets/Assets.h"
#include "platform/mm/MMSystem.h"

namespace mm {

namespace {

struct Player {
  std::mutex mutex;  // one PlaySound call at a time
  bool audioUp = false;
  SDL_AudioDeviceID device = 0;
  // The callback's data: written only while no device is open.
  std::vector<Uint8> samples;
  std::size_t position = 0;
  bool loop = false;
  Uint8 silence = 0;
  std::atomic<bool> done{true};
};

// Never destroyed: the audio thread may outlive static destruction at exit.
Player& TheSound() {
  static Player* player = new Player;
  return *player;
}

void SDLCALL Fill(void* user, Uint8* stream, int length) {
  auto& p = *static_cast<Player*>(user);
  std::size_t left = static_cast<std::size_t>(length);
  while (left > 0) {
    if (p.position >= p.samples.size()) {
      if (!p.loop || p.samples.empty()) {
        std::memset(stream, p.silence, left);
        p.done = true;
        return;
      }
      p.position = 0;
    }
    const std::size_t n = std::min(left, p.samples.size() - p.position);
    std::memcpy(stream, p.samples.data() + p.position, n);
    p.position += n;
    stream += n;
    left -= n;
  }
}

void Stop(Player& p) {
  if (p.device) SDL_CloseAudioDevice(p.device);  // waits for the callback to finish
  p.device = 0;
  p.samples.clear();
  p.samples.shrink_to_fit();
  p.position = 0;
  if (p.audioUp) SDL_QuitSubSystem(SDL_INIT_AUDIO);
  p.audioUp = false;
  p.done = true;
}

// The decoded sound in the output's format, whole frames only; empty on failure.
std::vector<Uint8> Convert(const Uint8* data, Uint32 length, const SDL_AudioSpec& from, const SDL_AudioSpec& to) {
  std::vector<Uint8> out;
  if (from.format == to.format && from.channels == to.channels && from.freq == to.freq) {
    out.assign(data, data + length);
  } else {
    SDL_AudioStream* stream =
        SDL_NewAudioStream(from.format, from.channels, from.freq, to.format, to.channels, to.freq);
    if (!stream) return out;
    if (SDL_AudioStreamPut(stream, data, static_cast<int>(length)) == 0 && SDL_AudioStreamFlush(stream) == 0) {
      out.resize(static_cast<std::size_t>(std::max(SDL_AudioStreamAvailable(stream), 0)));
      const int got = out.empty() ? 0 : SDL_AudioStreamGet(stream, out.data(), static_cast<int>(out.size()));
      out.resize(static_cast<std::size_t>(std::max(got, 0)));
    }
    SDL_FreeAudioStream(stream);
  }
  const std::size_t frame = static_cast<std::size_t>(SDL_AUDIO_BITSIZE(to.format) / 8) * to.channels;
  out.resize(frame ? out.size() / frame * frame : 0);
  return out;
}

bool Start(Player& p, std::span<const unsigned char> wave, std::uint32_t flags) {
  if (wave.empty() || wave.size() > INT_MAX) return false;
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;  // no audio: the show runs silent
  p.audioUp = true;

  SDL_AudioSpec spec{};
  Uint8* pcm = nullptr;
  Uint32 length = 0;
  SDL_RWops* rw = SDL_RWFromConstMem(wave.data(), static_cast<int>(wave.size()));
  if (!rw || !SDL_LoadWAV_RW(rw, 1, &spec, &pcm, &length)) return false;

  SDL_AudioSpec want = spec, have{};
  want.samples = 2048;
  want.callback = Fill;
  want.userdata = &p;
  p.device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, SDL_AUDIO_ALLOW_ANY_CHANGE);
  if (p.device) p.samples = Convert(pcm, length, spec, have);
  SDL_FreeWAV(pcm);
  if (!p.device || p.samples.empty()) return false;

  p.position = 0;
  p.loop = (flags & SND_LOOP) != 0;
  p.silence = have.silence;
  p.done = false;
  SDL_PauseAudioDevice(p.device, 0);
  return true;
}

}  // namespace

bool PlaySoundData(std::span<const unsigned char> wave, std::uint32_t flags) {
  Player& p = TheSound();
  {
    std::lock_guard lock(p.mutex);
    Stop(p);  // a new sound replaces the one playing
    if ((flags & SND_LOOP) && !(flags & SND_ASYNC)) return false;  // a loop that never returns
    if (!Start(p, wave, flags)) {
      Stop(p);
      return false;
    }
  }
  if (!(flags & SND_ASYNC))
    while (!p.done) SDL_Delay(5);
  return true;
}

bool PlaySoundA(const char* name, std::uint32_t flags) {
  if (!name) {
    Player& p = TheSound();
    std::lock_guard lock(p.mutex);
    Stop(p);
    return true;
  }
  if ((flags & SND_RESOURCE) != SND_RESOURCE) return false;  // only the program's own sounds
  const auto wave = assets::Find(name);
  if (wave.empty()) {
    PlaySoundA(nullptr, SND_PURGE);
    return false;
  }
  return PlaySoundData(wave, flags);
}

bool IsSoundPlaying() {
  Player& p = TheSound();
  return !p.done;
}

}  // namespace mm
