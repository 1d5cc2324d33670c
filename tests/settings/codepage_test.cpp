#include "platform/vcl/CodePage.h"

#include <gtest/gtest.h>

using namespace vcl;

TEST(CodePage, EveryByteComesBackThroughUtf8) {
  std::string everyByte;
  for (int b = 0; b < 256; ++b) everyByte += static_cast<char>(b);
  const std::string utf8 = Utf8FromAnsi(everyByte);
  EXPECT_EQ(AnsiFromUtf8(utf8), everyByte);
  EXPECT_GT(utf8.size(), everyByte.size());
}

TEST(CodePage, CharactersMapToTheirBytes) {
  struct Case {
    const char* ansi;
    const char* utf8;
  } cases[] = {{"plain ASCII", "plain ASCII"}, {"\x80", "\xE2\x82\xAC"},  // euro sign
               {"\x9F", "\xC5\xB8"},                                      // Y with diaeresis
               {"\x81", "\xC2\x81"},  // unassigned: the control character of that number
               {"Z\xFCrich", "Z\xC3\xBCrich"}, {"\xFF", "\xC3\xBF"}};
  for (const auto& c : cases) {
    EXPECT_EQ(Utf8FromAnsi(c.ansi), c.utf8) << c.ansi;
    EXPECT_EQ(AnsiFromUtf8(c.utf8), c.ansi) << c.ansi;
  }
}

TEST(CodePage, CharactersOutsideTheCodePageReadAsQuestionMarks) {
  struct Case {
    std::string utf8, ansi;
  } cases[] = {{"\xE4\xB8\xAD\xE6\x96\x87", "??"},  // two CJK characters
               {"a\xF0\x9F\x94\xA5z", "a?z"},       // a four-byte character
               {"\xC2\x80", "?"},                   // a control character the code page has no byte for
               {"\xC3", "?"},                       // cut short
               {"\xE2\x82", "?"},
               {std::string("\xC3x", 2), "?x"}};
  for (const auto& c : cases) EXPECT_EQ(AnsiFromUtf8(c.utf8), c.ansi) << c.utf8;
}
