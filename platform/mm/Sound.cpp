// The looping sound: a WAVE from the program's data, decoded and converted to the output's format
// once, then played by SDL's audio callback, which wraps around at the end for a gapless loop.
#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "assets/Assets.h"
#include "platform/mm/MMSystem.h"

namespace mm {

namespace {

// A WAVE decoded to samples, in the format it was written in.
struct Decoded {
  SDL_AudioSpec spec{};
  std::vector<Uint8> pcm;
};

// The sound decoded ahead of its PlaySoundA by PrepareSoundA.
struct Prepared {
  std::mutex mutex;
  std::string name;
  std::thread worker;
  std::optional<Decoded> result;  // written by the worker, read after joining it
};

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

Prepared& ThePrepared() {
  static Prepared* prepared = new Prepared;
  return *prepared;
}

// The samples of a WAVE held in memory (PCM or MS-ADPCM); nothing when it is no playable WAVE.
std::optional<Decoded> Decode(std::span<const unsigned char> wave) {
  if (wave.empty() || wave.size() > INT_MAX) return std::nullopt;
  Decoded d;
  Uint8* pcm = nullptr;
  Uint32 length = 0;
  SDL_RWops* rw = SDL_RWFromConstMem(wave.data(), static_cast<int>(wave.size()));
  if (!rw || !SDL_LoadWAV_RW(rw, 1, &d.spec, &pcm, &length)) return std::nullopt;
  d.pcm.assign(pcm, pcm + length);
  SDL_FreeWAV(pcm);
  return d;
}

// The prepared samples of the built-in sound `name`, when they were prepared (waits for them);
// whatever was prepared is let go.
std::optional<Decoded> TakePrepared(const std::string& name) {
  Prepared& prepared = ThePrepared();
  std::lock_guard lock(prepared.mutex);
  if (prepared.worker.joinable()) prepared.worker.join();
  std::optional<Decoded> result;
  if (prepared.name == name) result = std::move(prepared.result);
  prepared.name.clear();
  prepared.result.reset();
  return result;
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
std::vector<Uint8> Convert(Decoded&& sound, const SDL_AudioSpec& to) {
  const SDL_AudioSpec& from = sound.spec;
  const Uint8* data = sound.pcm.data();
  const std::size_t length = sound.pcm.size();
  std::vector<Uint8> out;
  if (from.format == to.format && from.channels == to.channels && from.freq == to.freq) {
    out = std::move(sound.pcm);
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

bool Start(Player& p, std::optional<Decoded> sound, std::uint32_t flags) {
  if (!sound) return false;
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;  // no audio: the show runs silent
  p.audioUp = true;

  SDL_AudioSpec want = sound->spec, have{};
  want.samples = 2048;
  want.callback = Fill;
  want.userdata = &p;
  p.device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, SDL_AUDIO_ALLOW_ANY_CHANGE);
  if (p.device) p.samples = Convert(std::move(*sound), have);
  if (!p.device || p.samples.empty()) return false;

  p.position = 0;
  p.loop = (flags & SND_LOOP) != 0;
  p.silence = have.silence;
  p.done = false;
  SDL_PauseAudioDevice(p.device, 0);
  return true;
}

bool Play(std::span<const unsigned char> wave, std::optional<Decoded> prepared, std::uint32_t flags) {
  Player& p = TheSound();
  {
    std::lock_guard lock(p.mutex);
    Stop(p);  // a new sound replaces the one playing
    if ((flags & SND_LOOP) && !(flags & SND_ASYNC)) return false;  // a loop that never returns
    if (!Start(p, prepared ? std::move(prepared) : Decode(wave), flags)) {
      Stop(p);
      return false;
    }
  }
  if (!(flags & SND_ASYNC))
    while (!p.done) SDL_Delay(5);
  return true;
}

}  // namespace

bool PlaySoundData(std::span<const unsigned char> wave, std::uint32_t flags) {
  return Play(wave, std::nullopt, flags);
}

void PrepareSoundA(const char* name) {
  if (!name) return;
  Prepared& prepared = ThePrepared();
  std::lock_guard lock(prepared.mutex);
  if (prepared.worker.joinable()) prepared.worker.join();
  prepared.result.reset();
  prepared.name = name;
  const auto wave = assets::Find(name);
  if (wave.empty()) return;
  try {
    prepared.worker = std::thread([&prepared, wave] { prepared.result = Decode(wave); });
  } catch (const std::system_error&) {
    prepared.name.clear();  // no thread: it is decoded when played
  }
}

bool PlaySoundA(const char* name, std::uint32_t flags) {
  if (!name) {
    TakePrepared({});  // a sound prepared and never played is let go too
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
  return Play(wave, TakePrepared(name), flags);
}

bool IsSoundPlaying() {
  Player& p = TheSound();
  return !p.done;
}

}  // namespace mm
