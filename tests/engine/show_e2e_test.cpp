// The show end to end on the test's X server: `sorvanta /s` puts a black picture with the white
// frame rate near its bottom-left corner on the screen, and Escape ends it with exit code 0.
#include <gtest/gtest.h>
// After GoogleTest: Xlib's macros (None, Bool ...) would clash with its names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A child process with our environment plus `extra` ("NAME=value", replacing ours of that name).
class Child {
 public:
  Child(std::vector<std::string> argv, const std::vector<std::string>& extra) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
      const std::string entry = *e;
      const bool replaced = std::any_of(extra.begin(), extra.end(), [&](const std::string& x) {
        return entry.compare(0, x.find('=') + 1, x, 0, x.find('=') + 1) == 0;
      });
      if (!replaced) env.push_back(entry);
    }
    env.insert(env.end(), extra.begin(), extra.end());
    std::vector<char*> args, envp;
    for (auto& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    if (posix_spawnp(&pid_, args[0], nullptr, nullptr, args.data(), envp.data()) != 0) pid_ = -1;
  }
  ~Child() {
    if (pid_ > 0 && !status_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  bool Started() const { return pid_ > 0; }
  // The wait status once the child has ended within `limit`, else none.
  std::optional<int> Wait(std::chrono::milliseconds limit) {
    const auto end = Clock::now() + limit;
    while (!status_) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) status_ = status;
      else if (Clock::now() > end) break;
      else std::this_thread::sleep_for(20ms);
    }
    return status_;
  }

 private:
  pid_t pid_ = -1;
  std::optional<int> status_;
};

struct Box {
  int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;  // right, bottom inclusive
  bool Empty() const { return right < 0; }
  void Add(int x, int y) {
    left = std::min(left, x), top = std::min(top, y), right = std::max(right, x), bottom = std::max(bottom, y);
  }
};

// What the root window shows: where its white and its other non-black pixels are.
struct Screen {
  int width = 0, height = 0;
  Box white;       // every channel at 200 or more
  long lit = 0;    // pixels that are not black
};

Screen Look(Display* display) {
  Screen s;
  const Window root = DefaultRootWindow(display);
  XWindowAttributes attributes;
  XGetWindowAttributes(display, root, &attributes);
  s.width = attributes.width;
  s.height = attributes.height;
  XImage* image = XGetImage(display, root, 0, 0, s.width, s.height, AllPlanes, ZPixmap);
  if (image == nullptr) return s;
  for (int y = 0; y < s.height; ++y)
    for (int x = 0; x < s.width; ++x) {
      const unsigned long p = XGetPixel(image, x, y);
      const unsigned r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
      if (r | g | b) ++s.lit;
      if (r >= 200 && g >= 200 && b >= 200) s.white.Add(x, y);
    }
  XDestroyImage(image);
  return s;
}

TEST(ShowEndToEnd, BlackFramesWithTheFrameRateUntilEscape) {
  if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "needs an X server (the test command runs one)";
  Display* display = XOpenDisplay(nullptr);
  ASSERT_NE(display, nullptr);

  std::string config = (std::filesystem::temp_directory_path() / "sorvanta-show-XXXXXX").string();
  ASSERT_NE(::mkdtemp(config.data()), nullptr);
  const auto started = Clock::now();
  Child show({SORVANTA_EXE, "/s"}, {"XDG_CONFIG_HOME=" + config, "SDL_AUDIODRIVER=dummy",
                                    "LSAN_OPTIONS=suppressions=" SORVANTA_SOURCE_DIR "/tests/engine/lsan.supp"});
  ASSERT_TRUE(show.Started());

  // The 1024 x 768 picture, scaled to fit the screen and centred; the text starts at (20, 738).
  Screen screen;
  bool seen = false;
  while (!seen && Clock::now() - started < 30s) {
    std::this_thread::sleep_for(100ms);
    screen = Look(display);
    seen = !screen.white.Empty() && screen.white.left < screen.width / 4 && screen.white.top > screen.height * 3 / 4;
  }
  const auto firstFrame = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started);
  ::testing::Test::RecordProperty("frame_rate_text_seen_ms", static_cast<int>(firstFrame.count()));
  std::printf("frame rate text seen after %lld ms\n", static_cast<long long>(firstFrame.count()));
  ASSERT_TRUE(seen) << "no white text near the bottom-left corner";

  const double scale = std::min(screen.width / 1024.0, screen.height / 768.0);
  const double left = (screen.width - 1024 * scale) / 2, top = (screen.height - 768 * scale) / 2;
  EXPECT_GE(screen.white.left, left + 20 * scale - 1);
  EXPECT_LE(screen.white.left, left + 30 * scale);
  EXPECT_GE(screen.white.top, top + 738 * scale - 1);
  EXPECT_LE(screen.white.bottom, top + 768 * scale);
  EXPECT_LE(screen.white.right, left + 400 * scale) << "the text reaches too far right";
  // All else is black: the lit pixels are the text's, a small share of the screen.
  EXPECT_LT(screen.lit, static_cast<long>(screen.width) * screen.height / 100);

  Child escape({"xdotool", "key", "Escape"}, {});
  ASSERT_TRUE(escape.Started());
  escape.Wait(10s);
  const std::optional<int> status = show.Wait(20s);
  ASSERT_TRUE(status.has_value()) << "the show did not end on Escape";
  ASSERT_TRUE(WIFEXITED(*status));
  EXPECT_EQ(WEXITSTATUS(*status), 0);

  XCloseDisplay(display);
  std::error_code ignored;
  std::filesystem::remove_all(config, ignored);
}

}  // namespace
