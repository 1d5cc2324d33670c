// The preview: the program waits until the window it was given is viewable, draws the preview
// picture at the window's top-left corner and ends; a window that is gone or never comes does not
// keep it waiting. Drawn into real windows of a private virtual X server and read back.
#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

#include "assets/Assets.h"
#include "platform/vcl/Bmp.h"
#include "platform/x11/ForeignWindow.h"
#include "support/BmpFile.h"
#include "support/Child.h"
#include "support/XServer.h"
// Xlib defines macros (None, Bool, Status) that gtest's own names collide with: Xlib goes last.
#include <X11/Xutil.h>

namespace {

using testsupport::Child;
using testsupport::XServer;

constexpr unsigned long kBackground = 0x123456;

std::vector<std::uint32_t> ReadPixels(Display* d, Window w, unsigned width, unsigned height) {
  std::vector<std::uint32_t> pixels;
  XImage* image = XGetImage(d, w, 0, 0, width, height, AllPlanes, ZPixmap);
  if (!image) return pixels;
  for (unsigned y = 0; y < height; ++y)
    for (unsigned x = 0; x < width; ++x)
      pixels.push_back(static_cast<std::uint32_t>(XGetPixel(image, static_cast<int>(x), static_cast<int>(y))));
  XDestroyImage(image);
  return pixels;
}

// The window as it should look: the picture from (0, 0), clipped; the background elsewhere.
std::vector<std::uint32_t> Expected(const vcl::DecodedImage& picture, unsigned width, unsigned height,
                                    std::uint32_t background, std::uint32_t extraBits = 0) {
  std::vector<std::uint32_t> pixels;
  for (unsigned y = 0; y < height; ++y)
    for (unsigned x = 0; x < width; ++x) {
      const bool inside = x < static_cast<unsigned>(picture.width) && y < static_cast<unsigned>(picture.height);
      pixels.push_back(inside ? (picture.pixels[y * static_cast<unsigned>(picture.width) + x] | extraBits)
                              : background);
    }
  return pixels;
}

// Counts the pixels that differ, so a failure prints one number instead of thousands.
std::size_t Differences(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b) {
  if (a.size() != b.size()) return std::max(a.size(), b.size());
  std::size_t n = 0;
  for (std::size_t i = 0; i < a.size(); ++i) n += a[i] != b[i];
  return n;
}

struct Size {
  unsigned width, height;
};
const Size kWindowSizes[] = {{154, 116}, {200, 150}, {100, 60}};

class PreviewTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(x_.Ok()) << "cannot start Xvfb";
    if (const char* d = std::getenv("DISPLAY")) savedDisplay_ = d;
    setenv("DISPLAY", x_.Name().c_str(), 1);  // for the connections made in this process
  }
  void TearDown() override {
    if (savedDisplay_)
      setenv("DISPLAY", savedDisplay_->c_str(), 1);
    else
      unsetenv("DISPLAY");
  }
  Display* D() { return x_.Display(); }
  Child StartPreview(const std::string& handle, const std::string& waitMs = "60000") {
    return Child({SORVANTA_EXE, "/p", handle},
                 {{"DISPLAY", x_.Name()}, {"SORVANTA_PREVIEW_WAIT_MS", waitMs}, {"SORVANTA_MESSAGEBOX", "stderr"}});
  }
  static vcl::DecodedImage Asset() { return vcl::DecodeBmp(assets::Find("PREVIEWBMP"), "PREVIEWBMP"); }

  XServer x_;
  std::optional<std::string> savedDisplay_;
};

TEST_F(PreviewTest, DrawsPicturesAtTheTopLeftCornerClippedByTheWindow) {
  testsupport::BmpFile eight;
  eight.width = 160;
  eight.height = -120;  // top-down
  eight.bits = 8;
  eight.coloursUsed = 4;
  eight.palette = {0xFF0000, 0x00FF00, 0x0000FF, 0xFEDCBA};
  for (int i = 0; i < 160 * 120; ++i) eight.pixels.push_back(static_cast<std::uint32_t>((i / 7 + i / 160) % 4));
  const vcl::DecodedImage pictures[] = {vcl::DecodeBmp(testsupport::Gradient(154, 116).Bytes(), "gradient"),
                                        vcl::DecodeBmp(eight.Bytes(), "eight")};
  for (const vcl::DecodedImage& picture : pictures) {
    for (const Size& s : kWindowSizes) {
      SCOPED_TRACE(std::to_string(picture.width) + " into " + std::to_string(s.width) + "x" +
                   std::to_string(s.height));
      const Window w = x_.MakeWindow(10, 10, s.width, s.height, kBackground, true);
      auto target = x11::ForeignWindow::Open(static_cast<std::uint32_t>(w));
      ASSERT_NE(target, nullptr);
      EXPECT_EQ(target->State(), x11::WindowState::Viewable);
      EXPECT_TRUE(target->Draw(picture, 0, 0));
      EXPECT_EQ(Differences(ReadPixels(D(), w, s.width, s.height), Expected(picture, s.width, s.height, kBackground)),
                0u);
      XDestroyWindow(D(), w);
    }
  }
}

TEST_F(PreviewTest, KnowsWhetherTheWindowIsThereAndViewable) {
  const Window mapped = x_.MakeWindow(0, 0, 50, 50, kBackground, true);
  const Window unmapped = x_.MakeWindow(0, 0, 50, 50, kBackground, false);
  const Window inUnmapped = XCreateSimpleWindow(D(), unmapped, 0, 0, 10, 10, 0, 0, 0);
  XMapWindow(D(), inUnmapped);  // mapped, but its parent is not
  const Window destroyed = x_.MakeWindow(0, 0, 50, 50, kBackground, true);
  XDestroyWindow(D(), destroyed);
  XSync(D(), False);
  const std::pair<std::uint32_t, x11::WindowState> cases[] = {
      {static_cast<std::uint32_t>(mapped), x11::WindowState::Viewable},
      {static_cast<std::uint32_t>(unmapped), x11::WindowState::NotViewable},
      {static_cast<std::uint32_t>(inUnmapped), x11::WindowState::NotViewable},
      {static_cast<std::uint32_t>(destroyed), x11::WindowState::Gone},
      {0, x11::WindowState::Gone},
      {5678, x11::WindowState::Gone},
      {0x7FFFFFFF, x11::WindowState::Gone},
  };
  for (const auto& [id, state] : cases) {
    auto target = x11::ForeignWindow::Open(id);
    ASSERT_NE(target, nullptr);
    EXPECT_EQ(target->State(), state) << id;
  }
  auto gone = x11::ForeignWindow::Open(static_cast<std::uint32_t>(destroyed));
  EXPECT_FALSE(gone->Draw(vcl::DecodeBmp(testsupport::Gradient(4, 4).Bytes(), "g"), 0, 0));
}

TEST_F(PreviewTest, ThirtyTwoBitWindowsGetOpaquePixels) {
  XVisualInfo info;
  if (!XMatchVisualInfo(D(), DefaultScreen(D()), 32, TrueColor, &info)) GTEST_SKIP() << "no 32-bit visual";
  XSetWindowAttributes a{};
  a.colormap = XCreateColormap(D(), x_.Root(), info.visual, AllocNone);
  const Window w = XCreateWindow(D(), x_.Root(), 5, 5, 154, 116, 0, 32, InputOutput, info.visual,
                                 CWColormap | CWBorderPixel | CWBackPixel, &a);
  XMapWindow(D(), w);
  XSync(D(), False);
  const vcl::DecodedImage picture = vcl::DecodeBmp(testsupport::Gradient(154, 116).Bytes(), "gradient");
  auto target = x11::ForeignWindow::Open(static_cast<std::uint32_t>(w));
  ASSERT_TRUE(target->Draw(picture, 0, 0));
  EXPECT_EQ(Differences(ReadPixels(D(), w, 154, 116), Expected(picture, 154, 116, 0, 0xFF000000u)), 0u);
}

TEST(PreviewOtherVisuals, GivesUpQuietlyOnA16BitDisplay) {
  XServer x("320x240x16");
  ASSERT_TRUE(x.Ok());
  const Window w = x.MakeWindow(0, 0, 154, 116, 0, true);
  const testsupport::ChildResult r = testsupport::RunSorvanta({"/p", std::to_string(w)}, {{"DISPLAY", x.Name()}});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err, "");
}

TEST_F(PreviewTest, TheBuiltInPictureIs154By116) {
  const vcl::DecodedImage picture = Asset();
  EXPECT_EQ(picture.width, 154);
  EXPECT_EQ(picture.height, 116);
}

TEST_F(PreviewTest, ProgramDrawsTheBuiltInPicture) {
  const vcl::DecodedImage picture = Asset();
  for (const Size& s : kWindowSizes) {
    SCOPED_TRACE(std::to_string(s.width) + "x" + std::to_string(s.height));
    const Window w = x_.MakeWindow(20, 20, s.width, s.height, kBackground, true);
    const testsupport::ChildResult r = StartPreview(std::to_string(w)).Wait();
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(Differences(ReadPixels(D(), w, s.width, s.height), Expected(picture, s.width, s.height, kBackground)),
              0u);
    XDestroyWindow(D(), w);
  }
}

TEST_F(PreviewTest, WaitsUntilTheWindowIsShown) {
  const Window w = x_.MakeWindow(20, 20, 154, 116, kBackground, false);
  Child child = StartPreview(std::to_string(w));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_TRUE(child.Running()) << "ended before its window was shown";
  XMapWindow(D(), w);
  XSync(D(), False);
  const testsupport::ChildResult r = child.Wait();  // well before the 60 s bound
  EXPECT_TRUE(r.exited);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(Differences(ReadPixels(D(), w, 154, 116), Expected(Asset(), 154, 116, kBackground)), 0u);
}

TEST_F(PreviewTest, AWindowDestroyedWhileItWaitsEndsTheWait) {
  const Window w = x_.MakeWindow(20, 20, 154, 116, kBackground, false);
  Child child = StartPreview(std::to_string(w));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_TRUE(child.Running());
  XDestroyWindow(D(), w);
  XSync(D(), False);
  const testsupport::ChildResult r = child.Wait();  // the wait's own bound is 60 s, this one 30 s
  EXPECT_TRUE(r.exited);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err, "");
}

TEST_F(PreviewTest, TheDisplayGoingAwayEndsTheWait) {
  const Window w = x_.MakeWindow(20, 20, 154, 116, kBackground, false);
  Child child = StartPreview(std::to_string(w));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_TRUE(child.Running());
  x_.Kill();
  const testsupport::ChildResult r = child.Wait();
  EXPECT_TRUE(r.exited);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err, "");
}

TEST_F(PreviewTest, AHandleThatNamesNoWindowEndsAtOnce) {
  const Window destroyed = x_.MakeWindow(0, 0, 10, 10, 0, true);
  XDestroyWindow(D(), destroyed);
  XSync(D(), False);
  for (const std::string& handle : std::vector<std::string>{"0", "-5", "5678", "2147483647", std::to_string(destroyed)}) {
    const testsupport::ChildResult r = StartPreview(handle).Wait();
    EXPECT_TRUE(r.exited) << handle;
    EXPECT_EQ(r.exitCode, 0) << handle;
    EXPECT_EQ(r.err, "") << handle;
  }
}

TEST_F(PreviewTest, AWindowThatNeverComesIsGivenUpAfterTheBound) {
  const Window w = x_.MakeWindow(20, 20, 154, 116, kBackground, false);
  const testsupport::ChildResult r = StartPreview(std::to_string(w), "200").Wait();
  EXPECT_TRUE(r.exited);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err, "");
  XMapWindow(D(), w);
  XSync(D(), False);
  const std::vector<std::uint32_t> untouched(154 * 116, kBackground);
  EXPECT_EQ(Differences(ReadPixels(D(), w, 154, 116), untouched), 0u);
}

}  // namespace
