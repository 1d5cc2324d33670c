// Message boxes on a real (private, virtual) X display, shown by the built program: found by their
// caption, owned by the window they were given, dismissed the ways a user or a window manager
// would, and never left waiting when the display goes away.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "support/Child.h"
#include "support/XServer.h"
// Xlib defines macros (None, Bool, Status) that gtest's own names collide with: Xlib goes last.
#include <X11/Xatom.h>
#include <X11/keysym.h>

namespace {

using testsupport::Child;
using testsupport::XServer;
using testing::Contains;

constexpr const char* kMissingLibrary = "MPR.DLL not found: cannot change password.\n";

class MessageBox : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(x_.Ok()) << "cannot start Xvfb"; }
  Child Start(const std::vector<std::string>& args) {
    std::vector<std::string> argv{SORVANTA_EXE};
    argv.insert(argv.end(), args.begin(), args.end());
    return Child(argv, {{"DISPLAY", x_.Name()}, {"SORVANTA_MESSAGEBOX", std::nullopt}});
  }
  XServer x_;
};

TEST_F(MessageBox, PasswordChangeBoxIsOwnedByItsWindowAndEveryWayOfClosingItWorks) {
  struct Case {
    const char* how;
    std::function<void(XServer&, Window box, Window owner)> close;
  };
  const Case cases[] = {
      {"Return", [](XServer& x, Window box, Window) { x.SendKey(box, XK_Return); }},
      {"Space", [](XServer& x, Window box, Window) { x.SendKey(box, XK_space); }},
      {"Escape", [](XServer& x, Window box, Window) { x.SendKey(box, XK_Escape); }},
      {"a click on OK",
       [](XServer& x, Window box, Window) {
         auto ok = x.FindChild(box, "OK");
         ASSERT_TRUE(ok.has_value()) << "no OK button";
         x.SendClick(*ok, 10, 10);
       }},
      {"the window manager's close", [](XServer& x, Window box, Window) { x.SendDeleteWindow(box); }},
      {"the owner's end", [](XServer& x, Window, Window owner) {
         XDestroyWindow(x.Display(), owner);
         XSync(x.Display(), False);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.how);
    const Window owner = x_.MakeWindow(40, 40, 300, 200, 0x336699, true);
    Child child = Start({"/a", std::to_string(owner)});
    const auto box = x_.WaitForTopLevel("Screen saver");
    ASSERT_TRUE(box.has_value()) << "no box appeared";
    EXPECT_EQ(x_.TransientFor(*box), owner);
    EXPECT_THAT(x_.AtomList(*box, "_NET_WM_WINDOW_TYPE"),
                Contains(XInternAtom(x_.Display(), "_NET_WM_WINDOW_TYPE_DIALOG", False)));
    EXPECT_THAT(x_.AtomList(*box, "WM_PROTOCOLS"), Contains(XInternAtom(x_.Display(), "WM_DELETE_WINDOW", False)));
    // A wrong key leaves the box where it is.
    x_.SendKey(*box, XK_a);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(child.Running());
    c.close(x_, *box, owner);
    const testsupport::ChildResult r = child.Wait();
    EXPECT_TRUE(r.exited);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, kMissingLibrary);
    EXPECT_FALSE(x_.HasTopLevel("Screen saver"));
    XDestroyWindow(x_.Display(), owner);
    XSync(x_.Display(), False);
  }
}

TEST_F(MessageBox, WithoutAnExistingOwnerTheBoxStandsAlone) {
  Child child = Start({"/a", "5678"});  // no window of this server has that id
  const auto box = x_.WaitForTopLevel("Screen saver");
  ASSERT_TRUE(box.has_value());
  EXPECT_EQ(x_.TransientFor(*box), 0u);
  x_.SendKey(*box, XK_Return);
  const testsupport::ChildResult r = child.Wait();
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err, kMissingLibrary);
}

TEST_F(MessageBox, ErrorsAreShownCaptionedWithTheApplicationTitle) {
  const std::string huge(100000, '7');  // a text far wider than the screen
  const std::pair<std::string, std::string> cases[] = {
      {"abc", "'abc' is not a valid integer value\n"},
      {huge, "'" + huge + "' is not a valid integer value\n"},
  };
  for (const auto& [handle, message] : cases) {
    Child child = Start({"/p", handle});
    const auto box = x_.WaitForTopLevel("sorvanta");
    ASSERT_TRUE(box.has_value());
    XWindowAttributes a;
    ASSERT_TRUE(XGetWindowAttributes(x_.Display(), *box, &a));
    EXPECT_LE(a.width, 640);  // wrapped to fit the screen
    EXPECT_LE(a.height, 480);
    x_.SendKey(*box, XK_Return);
    const testsupport::ChildResult r = child.Wait();
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, message);
  }
}

TEST_F(MessageBox, TheDisplayGoingAwayEndsTheBox) {
  Child child = Start({"/a", "5678"});
  ASSERT_TRUE(x_.WaitForTopLevel("Screen saver").has_value());
  x_.Kill();
  const testsupport::ChildResult r = child.Wait();
  EXPECT_TRUE(r.exited);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err, kMissingLibrary);
}

}  // namespace
