#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <SDL.h>

#include "assets/Assets.h"
#include "platform/mm/MMSystem.h"

using namespace mm;
using namespace std::chrono_literals;

namespace {

void Put16(std::vector<unsigned char>& v, unsigned x) {
  v.push_back(x & 0xFF);
  v.push_back((x >> 8) & 0xFF);
}
void Put32(std::vector<unsigned char>& v, std::uint32_t x) {
  Put16(v, x & 0xFFFF);
  Put16(v, x >> 16);
}

// A 16-bit stereo PCM WAVE at 44100 Hz whose samples never repeat within it.
struct Wave {
  std::vector<unsigned char> file, pcm;
};
Wave MakeWave(int frames) {
  Wave w;
  for (int i = 0; i < frames; ++i) {
    Put16(w.pcm, static_cast<unsigned>(1000 + i * 3) & 0x7FFF);
    Put16(w.pcm, static_cast<unsigned>(-(1000 + i * 5)) & 0xFFFF);
  }
  auto& f = w.file;
  f = {'R', 'I', 'F', 'F'};
  Put32(f, static_cast<std::uint32_t>(36 + w.pcm.size()));
  for (char c : std::string("WAVEfmt ")) f.push_back(c);
  Put32(f, 16);
  Put16(f, 1);  // PCM
  Put16(f, 2);
  Put32(f, 44100);
  Put32(f, 44100 * 4);
  Put16(f, 4);
  Put16(f, 16);
  for (char c : std::string("data")) f.push_back(c);
  Put32(f, static_cast<std::uint32_t>(w.pcm.size()));
  f.insert(f.end(), w.pcm.begin(), w.pcm.end());
  return w;
}

std::vector<unsigned char> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  std::vector<unsigned char> bytes(in ? static_cast<std::size_t>(in.tellg()) : 0);
  in.seekg(0);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  return bytes;
}

std::uintmax_t SizeOf(const std::string& path) {
  std::error_code ec;
  const auto n = std::filesystem::file_size(path, ec);
  return ec ? 0 : n;
}

// Room for the silence that the output writes while the device opens.
constexpr std::size_t kStartUp = 1 << 20;

// The output starts with silence while the device opens; the sound itself begins at the first
// sample that is not silent (every sound here starts with one).
std::vector<unsigned char> Heard(const std::string& path) {
  auto w = ReadAll(path);
  const auto start = std::find_if(w.begin(), w.end(), [](unsigned char b) { return b != 0; });
  w.erase(w.begin(), start - (start - w.begin()) % 4);  // whole stereo frames
  return w;
}

template <class Pred>
bool WaitFor(Pred pred) {
  for (int i = 0; i < 30000 && !pred(); ++i) std::this_thread::sleep_for(1ms);
  return pred();
}

// Sends the sound to a file through SDL's disk driver, written about as fast as it is read.
class Sound : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* d = std::getenv("SDL_AUDIODRIVER")) savedDriver = d;
    out = (std::filesystem::temp_directory_path() / ("sorvanta-sound-" + std::to_string(getpid()) + ".raw")).string();
    std::filesystem::remove(out);
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", out.c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "1", 1);
  }
  void TearDown() override {
    PlaySoundA(nullptr, SND_PURGE);
    std::filesystem::remove(out);
    if (savedDriver.empty())
      unsetenv("SDL_AUDIODRIVER");
    else
      setenv("SDL_AUDIODRIVER", savedDriver.c_str(), 1);
  }
  std::string out, savedDriver;
};

}  // namespace

TEST_F(Sound, LoopsWithoutAGapUntilStopped) {
  const Wave w = MakeWave(4410);
  ASSERT_TRUE(PlaySoundData(w.file, SND_LOOP | SND_ASYNC));
  EXPECT_TRUE(IsSoundPlaying());
  ASSERT_TRUE(WaitFor([&] { return SizeOf(out) >= 4 * w.pcm.size() + kStartUp; }));
  EXPECT_TRUE(PlaySoundA(nullptr, SND_PURGE));
  EXPECT_FALSE(IsSoundPlaying());

  const auto written = Heard(out);
  ASSERT_GE(written.size(), 4 * w.pcm.size());
  for (std::size_t i = 0; i < written.size(); ++i)
    ASSERT_EQ(written[i], w.pcm[i % w.pcm.size()]) << "byte " << i;

  // Stopped means stopped: nothing more reaches the output.
  const auto size = SizeOf(out);
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(SizeOf(out), size);
}

TEST_F(Sound, WithoutLoopItPlaysOnceThenFallsSilent) {
  const Wave w = MakeWave(3000);
  ASSERT_TRUE(PlaySoundData(w.file, SND_ASYNC));
  ASSERT_TRUE(WaitFor([&] { return !IsSoundPlaying() && SizeOf(out) >= 2 * w.pcm.size() + kStartUp; }));
  PlaySoundA(nullptr, SND_PURGE);
  const auto written = Heard(out);
  ASSERT_GE(written.size(), 2 * w.pcm.size());
  EXPECT_TRUE(std::equal(w.pcm.begin(), w.pcm.end(), written.begin()));
  for (std::size_t i = w.pcm.size(); i < written.size(); ++i) ASSERT_EQ(written[i], 0) << i;

  ASSERT_TRUE(PlaySoundData(w.file, 0));  // played to the end before it returns
  EXPECT_FALSE(IsSoundPlaying());
  EXPECT_GE(SizeOf(out), w.pcm.size());
}

TEST_F(Sound, ANewSoundReplacesThePlayingOne) {
  const Wave a = MakeWave(2000), b = MakeWave(1500);
  ASSERT_TRUE(PlaySoundData(a.file, SND_LOOP | SND_ASYNC));
  ASSERT_TRUE(PlaySoundData(b.file, SND_LOOP | SND_ASYNC));  // the output starts afresh
  ASSERT_TRUE(WaitFor([&] { return SizeOf(out) >= 3 * b.pcm.size() + kStartUp; }));
  PlaySoundA(nullptr, SND_PURGE);
  const auto written = Heard(out);
  for (std::size_t i = 0; i < written.size(); ++i) ASSERT_EQ(written[i], b.pcm[i % b.pcm.size()]) << i;
}

TEST_F(Sound, WhatIsNoPlayableSoundIsRefused) {
  const Wave w = MakeWave(100);
  std::vector<unsigned char> noData(w.file.begin(), w.file.begin() + 44);  // header, samples cut off
  std::vector<unsigned char> cut(w.file.begin(), w.file.begin() + 30);
  std::vector<unsigned char> garbage(4096);
  for (std::size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<unsigned char>(i * 37 + 11);
  std::vector<unsigned char> lying = w.file;
  for (std::size_t i = 40; i < 44 && i < lying.size(); ++i) lying[i] = 0xFF;  // a data chunk longer than the file
  std::vector<unsigned char> badFormat = w.file;
  badFormat[22] = 0;  // no channels
  for (const auto* bytes : {&noData, &cut, &garbage, &badFormat, &lying}) {
    PlaySoundData(*bytes, SND_LOOP | SND_ASYNC);  // refused, or plays what is there: never a crash
    PlaySoundA(nullptr, SND_PURGE);
  }
  EXPECT_FALSE(PlaySoundData({}, SND_LOOP | SND_ASYNC));
  EXPECT_FALSE(PlaySoundData(cut, SND_LOOP | SND_ASYNC));
  EXPECT_FALSE(PlaySoundData(garbage, SND_LOOP | SND_ASYNC));
  EXPECT_FALSE(PlaySoundData(badFormat, SND_LOOP | SND_ASYNC));
  EXPECT_FALSE(PlaySoundData(w.file, SND_LOOP));  // a loop must be asynchronous
  EXPECT_FALSE(PlaySoundA("NoSuchSound", SND_RESOURCE | SND_LOOP | SND_ASYNC));
  EXPECT_FALSE(PlaySoundA("SoundName", SND_LOOP | SND_ASYNC));  // not from the program's data
  EXPECT_FALSE(IsSoundPlaying());
}

TEST_F(Sound, WithoutAnAudioDeviceTheShowRunsSilent) {
  const Wave w = MakeWave(100);
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  EXPECT_FALSE(PlaySoundData(w.file, SND_LOOP | SND_ASYNC));
  EXPECT_FALSE(PlaySoundA("SoundName", SND_RESOURCE | SND_LOOP | SND_ASYNC));
  EXPECT_FALSE(IsSoundPlaying());
  EXPECT_TRUE(PlaySoundA(nullptr, SND_PURGE));
  setenv("SDL_AUDIODRIVER", "disk", 1);
  EXPECT_TRUE(PlaySoundData(w.file, SND_LOOP | SND_ASYNC));  // and recovers once there is one
}

TEST_F(Sound, TheHearthsCrackleLoops) {
  const auto wave = assets::Find("SoundName");
  if (wave.empty()) GTEST_SKIP() << "the built-in crackle is not in this build";
  // Decoded on its own, for comparison.
  SDL_AudioSpec spec{};
  Uint8* pcm = nullptr;
  Uint32 length = 0;
  ASSERT_NE(SDL_LoadWAV_RW(SDL_RWFromConstMem(wave.data(), static_cast<int>(wave.size())), 1, &spec, &pcm, &length),
            nullptr);
  const std::vector<unsigned char> decoded(pcm, pcm + length);
  SDL_FreeWAV(pcm);
  ASSERT_GT(decoded.size(), 0u);

  PrepareSoundA("SoundName");  // decoded ahead, as the show does: the same sound plays
  ASSERT_TRUE(PlaySoundA("SoundName", SND_RESOURCE | SND_LOOP | SND_ASYNC));
  ASSERT_GT(decoded[0] | decoded[1] | decoded[2] | decoded[3], 0);  // it starts with a sound
  ASSERT_TRUE(WaitFor([&] { return SizeOf(out) >= 2 * decoded.size() + kStartUp; }));
  PlaySoundA(nullptr, SND_PURGE);
  const auto written = Heard(out);
  ASSERT_GE(written.size(), 2 * decoded.size());
  // The disk output takes the sound's own format, so it is the decoded sound, over and over.
  EXPECT_TRUE(std::equal(decoded.begin(), decoded.end(), written.begin()));
  EXPECT_TRUE(std::equal(decoded.begin(), decoded.end(), written.begin() + decoded.size()));
  std::size_t loud = 0;
  for (std::size_t i = 0; i + 1 < decoded.size(); i += 2)
    loud += std::abs(static_cast<int>(static_cast<std::int16_t>(decoded[i] | decoded[i + 1] << 8))) > 256;
  EXPECT_GT(loud, decoded.size() / 200);  // not silent
}
