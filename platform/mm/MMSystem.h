#pragma once
// The periodic timer, the millisecond clock, the looping sound and the master volume.
#include <cstdint>
#include <span>

namespace mm {

using MMRESULT = std::uint32_t;
inline constexpr MMRESULT TIMERR_NOERROR = 0, MMSYSERR_ERROR = 1;
inline constexpr std::uint32_t TIME_PERIODIC = 1;

using LPTIMECALLBACK = void (*)(std::uint32_t timerId, std::uint32_t msg, std::uintptr_t user,
                                std::uintptr_t reserved1, std::uintptr_t reserved2);

// Starts a periodic timer whose callback runs on a thread of its own: ticks never overlap, and a
// tick that runs longer than `delayMs` delays the next. Returns its identifier (never 0), or 0.
std::uint32_t timeSetEvent(std::uint32_t delayMs, std::uint32_t resolution, LPTIMECALLBACK callback,
                           std::uintptr_t user, std::uint32_t flags);
// Stops the timer; returns only after a running tick has finished. Called from within a tick
// it stops the timer without waiting for itself.
MMRESULT timeKillEvent(std::uint32_t timerId);
// Milliseconds since an arbitrary start, wrapping at 2^32.
std::uint32_t timeGetTime();

// Looping sound from the program's own data.
inline constexpr std::uint32_t SND_ASYNC = 0x1, SND_LOOP = 0x8, SND_PURGE = 0x40, SND_RESOURCE = 0x40004;
// Plays the built-in WAVE named `name` (flags SND_RESOURCE | SND_LOOP | SND_ASYNC), or with no
// name and SND_PURGE stops what plays. Without an audio device nothing plays and it returns false.
bool PlaySoundA(const char* name, std::uint32_t flags);
// Plays a WAVE held in memory (PCM or MS-ADPCM) with SND_LOOP and SND_ASYNC as PlaySoundA takes
// them; without SND_ASYNC it returns when the sound has played. False when the data is no WAVE
// or there is no audio device.
bool PlaySoundData(std::span<const unsigned char> wave, std::uint32_t flags);
// Decodes the built-in WAVE named `name` on a thread of its own, so that a PlaySoundA of it soon
// after starts at once; nothing is played. A second call replaces the first; stopping the sound
// (no name, SND_PURGE) lets a prepared one go.
void PrepareSoundA(const char* name);
// True while a sound plays (a looping one until it is stopped).
bool IsSoundPlaying();

// Sets the master output volume (0 … 65535 over the output's own range); false when there is
// no mixer or no master control.
bool SetMasterVolume(std::uint32_t value);

}  // namespace mm
