// The show end to end on a private X server: `sorvanta /s` puts the hearth on the screen with
// its sound, and a mouse movement, Escape or F3 ends it.
#include <gtest/gtest.h>
// After GoogleTest: Xlib's macros (None, Bool ...) would clash with its names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <sys/stat.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "assets/Assets.h"
#include "platform/vcl/Graphics.h"
#include "support/Child.h"
#include "support/XServer.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

struct Rect {
  int x, y, w, h;
  bool Contains(int px, int py) const { return px >= x && px < x + w && py >= y && py < y + h; }
};
// Where the flames move; everything else on the screen stands still.
constexpr std::array<Rect, 9> kFlames{{{418, 252, 182, 397},
                                       {433, 667, 166, 101},
                                       {260, 307, 125, 149},
                                       {612, 307, 152, 149},
                                       {260, 456, 52, 108},
                                       {718, 456, 46, 108},
                                       {198, 598, 35, 51},
                                       {183, 217, 43, 49},
                                       {797, 218, 44, 38}}};

bool InFlame(int x, int y) {
  for (const Rect& r : kFlames)
    if (r.Contains(x, y)) return true;
  return false;
}

using Shot = std::vector<std::uint32_t>;  // 1024 × 768, 0x00RRGGBB

Shot Screenshot(Display* display) {
  Shot shot(1024 * 768);
  XImage* image = XGetImage(display, DefaultRootWindow(display), 0, 0, 1024, 768, AllPlanes, ZPixmap);
  if (image == nullptr) return {};
  for (int y = 0; y < 768; ++y)
    for (int x = 0; x < 1024; ++x) shot[y * 1024 + x] = XGetPixel(image, x, y) & 0xFFFFFF;
  XDestroyImage(image);
  return shot;
}

int Diff(std::uint32_t a, std::uint32_t b) {
  int d = 0;
  for (int shift : {0, 8, 16}) d += std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF));
  return d;
}

class ShowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(x_.Ok()) << "cannot start Xvfb";
    std::string pattern = (fs::temp_directory_path() / "sorvanta-show-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    fs::create_directories(dir_ / "bin");
    // A recording browser opener, found first on PATH.
    const fs::path opener = dir_ / "bin" / "xdg-open";
    std::ofstream(opener) << "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" << (dir_ / "opened").string() << "'\n";
    fs::permissions(opener, fs::perms::owner_all);
    vcl::TPicture background;
    background.LoadFromData(assets::Find("KIM1"), "KIM1");
    const vcl::TPixels p = background.Graphic()->Pixels();
    for (int y = 0; y < 768; ++y)
      for (int x = 0; x < 1024; ++x) background_.push_back(p.Data[y * p.Pitch + x] & 0xFFFFFF);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  std::unique_ptr<testsupport::Child> StartShow() {
    const char* path = std::getenv("PATH");
    return std::make_unique<testsupport::Child>(
        std::vector<std::string>{SORVANTA_EXE, "/s"},
        testsupport::EnvChanges{{"DISPLAY", x_.Name()},
                            {"XDG_CONFIG_HOME", (dir_ / "config").string()},
                            {"SDL_AUDIODRIVER", "disk"},
                            {"SDL_DISKAUDIOFILE", (dir_ / "audio.raw").string()},
                            {"PATH", (dir_ / "bin").string() + ":" + (path ? path : "/usr/bin:/bin")},
                            {"LSAN_OPTIONS", "suppressions=" SORVANTA_SOURCE_DIR "/tests/show/lsan.supp"}});
  }

  // Waits until the screen shows the hearth's still part; false when it never does.
  bool WaitForHearth(testsupport::Child& show) {
    const auto start = Clock::now();
    const auto end = start + 60s;
    while (Clock::now() < end && show.Running()) {
      const Shot shot = Screenshot(x_.Display());
      long off = 0, counted = 0;
      for (int y = 0; y < 767; y += 7)
        for (int x = 0; x < 1023; x += 7)
          if (!InFlame(x, y) && y < 698) off += Diff(shot[y * 1024 + x], background_[y * 1024 + x]), ++counted;
      if (counted && off / counted < 6) {
        std::printf("the hearth was on the screen %lld ms after the test started the show\n",
                    static_cast<long long>(
                        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count()));
        return true;
      }
      std::this_thread::sleep_for(100ms);
    }
    return false;
  }

  void Run(const char* command) {
    std::istringstream words(command);
    std::vector<std::string> argv{"xdotool"};
    for (std::string w; words >> w;) argv.push_back(w);
    testsupport::Child tool(argv, {{"DISPLAY", x_.Name()}});
    EXPECT_EQ(tool.Wait(10s).exitCode, 0) << command;
  }

  // The show ends by itself; how long that took is reported, not judged.
  void ExpectEnds(testsupport::Child& show, const char* how) {
    const auto asked = Clock::now();
    const testsupport::ChildResult result = show.Wait(20s);
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - asked).count();
    std::printf("%s ended the show after %lld ms\n", how, static_cast<long long>(took));
    EXPECT_TRUE(result.exited) << how << " did not end the show; stderr: " << result.err;
    EXPECT_EQ(result.exitCode, 0) << result.err;
  }

  testsupport::XServer x_{"1024x768x24"};
  fs::path dir_;
  Shot background_;
};

TEST_F(ShowTest, TheHearthBurnsWithItsSoundUntilTheMouseMoves) {
  auto show = StartShow();
  ASSERT_TRUE(WaitForHearth(*show)) << "the hearth never appeared";
  const Shot first = Screenshot(x_.Display());
  std::this_thread::sleep_for(500ms);
  const Shot second = Screenshot(x_.Display());
  long stillDiffers = 0, flameDiffers = 0;
  for (int y = 0; y < 768; ++y)
    for (int x = 0; x < 1024; ++x) {
      const bool differs = first[y * 1024 + x] != second[y * 1024 + x];
      (InFlame(x, y) ? flameDiffers : stillDiffers) += differs;
    }
  EXPECT_EQ(stillDiffers, 0) << "pixels outside the flames changed";
  EXPECT_GT(flameDiffers, 1000) << "the flames did not move";

  // One pixel first, so that a position is recorded wherever the pointer was; then six.
  Run("mousemove 512 384");
  Run("mousemove 513 384");
  std::this_thread::sleep_for(300ms);
  EXPECT_TRUE(show->Running()) << "a one-pixel movement ended the show";
  Run("mousemove 519 384");
  ExpectEnds(*show, "a 6-pixel mouse movement");

  // The crackle was played into SDL's disk output: not silence.
  std::ifstream audio(dir_ / "audio.raw", std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(audio)), {});
  ASSERT_GT(bytes.size(), 44100u) << "hardly any sound was written";
  long nonZero = 0;
  for (char b : bytes) nonZero += b != 0;
  EXPECT_GT(nonZero, static_cast<long>(bytes.size() / 4)) << "the sound is silent";
}

TEST_F(ShowTest, EscapeEndsTheShow) {
  auto show = StartShow();
  ASSERT_TRUE(WaitForHearth(*show));
  Run("key Escape");
  ExpectEnds(*show, "Escape");
}

TEST_F(ShowTest, F3OpensTheForecastPageAndEndsTheShow) {
  auto show = StartShow();
  ASSERT_TRUE(WaitForHearth(*show));
  Run("key F3");
  ExpectEnds(*show, "F3");
  std::string opened;
  for (int i = 0; i < 100 && opened.empty(); ++i) {
    std::ifstream(dir_ / "opened") >> opened;
    if (opened.empty()) std::this_thread::sleep_for(50ms);
  }
  EXPECT_EQ(opened, "http://weather.yahoo.com/forecast/20001.html");
}

}  // namespace
