// The first argument chooses one of four modes; the entry point shows every error and returns 0.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>

#include "app/Modes.h"
#include "platform/vcl/SysUtils.h"
#include "support/Child.h"

namespace {

using app::Mode;
using testsupport::RunSorvanta;
using testing::HasSubstr;

struct ModeCase {
  const char* argument;
  Mode mode;
};

TEST(ChooseMode, FirstArgumentDecides) {
  const ModeCase cases[] = {
      {"", Mode::Show},
      {"/s", Mode::Show},
      {"/S", Mode::Show},
      {"-s", Mode::Show},
      {"s", Mode::Show},
      {"x", Mode::Show},
      {"P", Mode::Show},  // a lone letter is shorter than two characters
      {"C", Mode::Show},
      {"A", Mode::Show},
      {"/", Mode::Show},
      {"/p", Mode::Preview},
      {"-P", Mode::Preview},
      {"p1", Mode::Preview},  // no switch character needed once there are two characters
      {"/c", Mode::Configuration},
      {"/C:3344", Mode::Configuration},
      {"-c", Mode::Configuration},
      {"//c", Mode::Show},  // only one slash goes; the mode character is then "/"
      {"-/c", Mode::Show},
      {"/-c", Mode::Show},
      {"/a", Mode::PasswordChange},
      {"-A", Mode::PasswordChange},
      {"/x", Mode::Show},
      {"/\xe0", Mode::Show},  // upper-casing leaves bytes beyond ASCII alone
  };
  for (const ModeCase& c : cases) EXPECT_EQ(app::ChooseMode(c.argument), c.mode) << "argument '" << c.argument << "'";
}

// What the entry point ran, through runners that only record.
struct Ran {
  std::string mode;
  std::int32_t handle = 0;
};

app::ModeRunners Recording(Ran& ran) {
  return {[&] { ran.mode = "show"; }, [&](std::int32_t h) { ran = {"preview", h}; },
          [&] { ran.mode = "configuration"; }, [&](std::int32_t h) { ran = {"password", h}; }};
}

int CallMain(std::vector<std::string> args, const app::ModeRunners& runners) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  return app::Main(static_cast<int>(args.size()), argv.data(), runners);
}

class MainTest : public testing::Test {
 protected:
  void SetUp() override { setenv("SORVANTA_MESSAGEBOX", "stderr", 1); }
  void TearDown() override { unsetenv("SORVANTA_MESSAGEBOX"); }
};

TEST_F(MainTest, RunsTheChosenModeWithItsHandle) {
  struct Case {
    std::vector<std::string> argv;
    std::string mode;
    std::int32_t handle;
  };
  const Case cases[] = {
      {{"sorvanta"}, "show", 0},
      {{"sorvanta", "/s", "12", "extra"}, "show", 0},
      {{"sorvanta", "P", "1234"}, "show", 0},
      {{"sorvanta", "/p", "1234"}, "preview", 1234},
      {{"sorvanta", "-P", "1234", "extra", "ignored"}, "preview", 1234},
      {{"sorvanta", "/p", "-17"}, "preview", -17},
      {{"sorvanta", "/c"}, "configuration", 0},
      {{"sorvanta", "/C:3344", "99"}, "configuration", 0},
      {{"sorvanta", "-c"}, "configuration", 0},
      {{"sorvanta", "//c"}, "show", 0},
      {{"sorvanta", "/a", "5678"}, "password", 5678},
  };
  for (const Case& c : cases) {
    Ran ran;
    EXPECT_EQ(CallMain(c.argv, Recording(ran)), 0);
    EXPECT_EQ(ran.mode, c.mode) << c.argv[1 % c.argv.size()];
    EXPECT_EQ(ran.handle, c.handle) << c.argv[1 % c.argv.size()];
  }
}

TEST_F(MainTest, NoArgumentVectorAtAllRunsTheShow) {
  Ran ran;
  char* argv[] = {nullptr};
  EXPECT_EQ(app::Main(0, argv, Recording(ran)), 0);
  EXPECT_EQ(ran.mode, "show");
}

TEST_F(MainTest, EveryErrorIsShownAndTheProgramStillReturnsZero) {
  struct Case {
    std::vector<std::string> argv;
    std::function<void()> show;
    std::string shown;
  };
  const Case cases[] = {
      {{"sorvanta", "/p"}, nullptr, "'' is not a valid integer value\n"},
      {{"sorvanta", "/a", "12x"}, nullptr, "'12x' is not a valid integer value\n"},
      {{"sorvanta", "/p", "99999999999"}, nullptr, "'99999999999' is not a valid integer value\n"},
      {{"sorvanta", "/s"}, [] { throw vcl::Exception("Failed to get data for 'Volume'"); },
       "Failed to get data for 'Volume'\n"},
      {{"sorvanta", "/s"}, [] { throw std::runtime_error("two\nlines"); }, "two lines\n"},
      {{"sorvanta", "/s"}, [] { throw 42; }, "An unexpected error occurred.\n"},
  };
  for (const Case& c : cases) {
    Ran ran;
    app::ModeRunners runners = Recording(ran);
    if (c.show) runners.show = c.show;
    testing::internal::CaptureStderr();
    EXPECT_EQ(CallMain(c.argv, runners), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.shown);
    EXPECT_EQ(ran.mode, "") << "a mode ran despite the error";
  }
}

TEST(PreviewWait, TenSecondsUnlessTheEnvironmentSaysOtherwise) {
  const std::pair<const char*, int> cases[] = {
      {nullptr, 10000}, {"", 10000}, {"250", 250}, {"0", 0}, {"-5", 10000}, {"12ms", 10000},
      {"99999999999999", 10000}, {"7200000", 3600000},
  };
  for (const auto& [text, ms] : cases) {
    if (text)
      setenv("SORVANTA_PREVIEW_WAIT_MS", text, 1);
    else
      unsetenv("SORVANTA_PREVIEW_WAIT_MS");
    EXPECT_EQ(app::PreviewWaitMs(), ms) << (text ? text : "(unset)");
  }
  unsetenv("SORVANTA_PREVIEW_WAIT_MS");
}

// The built program, where no display can be reached: every message goes to stderr.
TEST(Program, WithoutADisplayEndsWithZeroAndSaysWhatWentWrong) {
  struct Case {
    std::vector<std::string> args;
    testsupport::EnvChanges env;
    std::string err;
  };
  const testsupport::EnvChanges noDisplay{{"DISPLAY", std::nullopt}};
  const Case cases[] = {
      {{"/a", "5678"}, noDisplay, "MPR.DLL not found: cannot change password.\n"},
      {{"-A", "0"}, noDisplay, "MPR.DLL not found: cannot change password.\n"},
      // Forced onto stderr, even with a display there.
      {{"/a", "5678"}, {{"SORVANTA_MESSAGEBOX", "stderr"}}, "MPR.DLL not found: cannot change password.\n"},
      {{"/p"}, noDisplay, "'' is not a valid integer value\n"},
      {{"/p", "abc"}, noDisplay, "'abc' is not a valid integer value\n"},
      {{"/a"}, noDisplay, "'' is not a valid integer value\n"},
      // A preview with nowhere to draw ends quietly.
      {{"/p", "1234"}, noDisplay, ""},
      {{"-P", "1234", "more", "args"}, noDisplay, ""},
      {{"/p", "-1"}, noDisplay, ""},
  };
  for (const Case& c : cases) {
    const testsupport::ChildResult r = RunSorvanta(c.args, c.env);
    EXPECT_TRUE(r.exited) << c.args[0];
    EXPECT_EQ(r.exitCode, 0) << c.args[0];
    EXPECT_EQ(r.err, c.err) << c.args[0];
  }
}

}  // namespace
