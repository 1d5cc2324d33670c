#include <vector>

#include "SceneFixture.h"
#include "platform/shell/Shell.h"

namespace scene::testing {
namespace {

class ExitTest : public SceneTest {
 protected:
  void SetUp() override {
    SceneTest::SetUp();
    shell::SetOpener([this](const std::string& verb, const std::string& file) {
      opened.push_back(verb + " " + file);
      return true;
    });
  }
  void TearDown() override {
    shell::SetOpener({});
    SceneTest::TearDown();
  }
  bool Ended() const { return form->Exited() && form->Closed() && !form->Kss1->Enabled(); }

  std::vector<std::string> opened;
};

TEST_F(ExitTest, MouseMovementEndsTheShowOnlyBetweenConsecutiveEvents) {
  struct Case {
    const char* what;
    std::vector<std::pair<int, int>> moves;
    bool ends;
  } cases[] = {
      {"the first event only records", {{900, 700}}, false},
      {"5 pixels on both axes", {{100, 100}, {105, 105}, {110, 110}}, false},
      {"6 pixels on x", {{100, 100}, {106, 100}}, true},
      {"6 pixels on y", {{100, 100}, {100, 94}}, true},
      {"measured between events, not from the start", {{100, 100}, {104, 100}, {108, 100}, {112, 100}}, false},
      {"a recorded x of 0 passes over the x test", {{0, 100}, {50, 100}}, false},
      {"with x at 0 the y test still ends it", {{0, 100}, {50, 106}}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Create();
    for (auto [x, y] : c.moves) form->FormMouseMove(form.get(), 0, x, y);
    EXPECT_EQ(Ended(), c.ends);
    EXPECT_EQ(form->GetLastMouseX(), c.moves.back().first);
    form.reset();
  }
}

TEST_F(ExitTest, KeysTable) {
  struct Case {
    const char* what;
    std::uint16_t key;
    const char* degree;
    const char* newsLink;
    bool ends;
    std::vector<std::string> opened;
  } cases[] = {
      {"F3 in Celsius", 114, "c", "", true, {"open http://weather.yahoo.com/forecast/20001_c.html"}},
      {"F3 in Fahrenheit", 114, "f", "", true, {"open http://weather.yahoo.com/forecast/20001.html"}},
      {"F2 before any news", 113, "f", "", true, {}},
      {"F2 with the channel's page", 113, "f", "https://news.example.org/world", true,
       {"open https://news.example.org/world"}},
      {"F2 with a file path", 113, "f", "/etc/passwd", true, {}},
      {"F2 with another scheme", 113, "f", "file:///etc/passwd", true, {}},
      {"F2 with an option-like text", 113, "f", "--help", true, {}},
      {"F2 with a bare scheme", 113, "f", "http://", true, {}},
      {"F1", 112, "f", "", false, {}},
      {"a letter", 'A', "f", "", false, {}},
      {"Enter", 13, "f", "", false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    opened.clear();
    vcl::TComponent owner(nullptr);
    auto* kss = new engine::TKss(&owner);
    kss->SetBrandName("Korvane Software");
    kss->SetSSName("Sorvanta");
    kss->SetRegistry();
    ASSERT_TRUE(kss->WriteAKey("TDegree", c.degree));
    Create();
    form->SetNewsLink(c.newsLink);
    std::uint16_t key = c.key;
    form->FormKeyDown(form.get(), key, 0);
    EXPECT_EQ(Ended(), c.ends);
    EXPECT_EQ(opened, c.opened);
    form.reset();
  }
}

TEST_F(ExitTest, EscapeEndsTheShowAndOtherCharactersDoNot) {
  Create();
  for (char typed : {'a', ' ', '\r', 'q'}) {
    form->FormKeyPress(form.get(), typed);
    EXPECT_FALSE(form->Exited()) << int(typed);
  }
  char escape = 27;
  form->FormKeyPress(form.get(), escape);
  EXPECT_TRUE(Ended());
  EXPECT_EQ(form->Width(), 20);
  EXPECT_EQ(form->Height(), 20);
  EXPECT_EQ(form->BorderStyle(), vcl::TBorderStyle::bsSizeable);
  EXPECT_FALSE(form->Visible);
}

TEST_F(ExitTest, OnlyTheFirstShutdownRequestActs) {
  Create();
  std::uint16_t f3 = 114;
  form->FormKeyDown(form.get(), f3, 0);
  ASSERT_TRUE(Ended());
  // Input still queued behind the first request: nothing more is opened, nothing touched.
  form->FormKeyDown(form.get(), f3, 0);
  char escape = 27;
  form->FormKeyPress(form.get(), escape);
  form->FormMouseMove(form.get(), 0, 500, 500);
  form->FormMouseMove(form.get(), 0, 900, 900);
  form->ExitSaver();
  EXPECT_EQ(opened.size(), 1u);
}

}  // namespace
}  // namespace scene::testing
