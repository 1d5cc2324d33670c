// Password change: the platform's library is loaded at run time and its entry point called; where
// either is missing a message box over the owner window says so.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "app/Modes.h"

namespace {

class PasswordChange : public testing::Test {
 protected:
  void SetUp() override {
    setenv("SORVANTA_MESSAGEBOX", "stderr", 1);
    record_ = testing::TempDir() + "pwdchange-" + std::to_string(getpid()) + ".txt";
    setenv("PWDCHANGE_RECORD", record_.c_str(), 1);
    std::remove(record_.c_str());
  }
  void TearDown() override {
    unsetenv("SORVANTA_MESSAGEBOX");
    unsetenv("PWDCHANGE_RECORD");
    std::remove(record_.c_str());
  }
  std::string Record() {
    std::ifstream in(record_);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::string record_;
};

TEST_F(PasswordChange, SaysWhichPartIsMissing) {
  const std::pair<const char*, const char*> cases[] = {
      {"MPR.DLL", "MPR.DLL not found: cannot change password.\n"},
      {"libm.so.6", "PwdChangeProc not found: cannot change password\n"},  // loads, but lacks the entry point
  };
  for (const auto& [library, message] : cases) {
    testing::internal::CaptureStderr();
    app::RunPasswordChange(5678, library);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), message) << library;
  }
  EXPECT_EQ(Record(), "");
}

TEST_F(PasswordChange, CallsTheEntryPointWithTheOwnerAndReleasesTheLibrary) {
  ASSERT_EQ(dlopen(PWDCHANGE_FIXTURE, RTLD_NOW | RTLD_NOLOAD), nullptr);
  testing::internal::CaptureStderr();
  app::RunPasswordChange(4321, PWDCHANGE_FIXTURE);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(Record(), "SCRSAVE 4321 0 0\n");
  EXPECT_EQ(dlopen(PWDCHANGE_FIXTURE, RTLD_NOW | RTLD_NOLOAD), nullptr) << "the library is still loaded";
}

}  // namespace
