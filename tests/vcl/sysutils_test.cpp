#include <gtest/gtest.h>

#include "platform/vcl/SysUtils.h"

using namespace vcl;

TEST(SysUtils, StrToIntReadsSigned32BitDecimals) {
  struct Case {
    const char* text;
    std::int32_t value;
  } cases[] = {{"1234", 1234}, {"-5", -5}, {" 42 ", 42}, {"+7", 7}, {"2147483647", 2147483647},
               {"-2147483648", INT32_MIN}, {"$FF", 255}, {"0x10", 16}};
  for (const auto& c : cases) EXPECT_EQ(StrToInt(c.text), c.value) << c.text;
}

TEST(SysUtils, StrToIntRejectsWhatIsNotAnInteger) {
  for (const char* bad : {"", " ", "12a", "abc", "2147483648", "-2147483649", "1.5", "--1", "$"}) {
    try {
      StrToInt(bad);
      ADD_FAILURE() << "accepted '" << bad << "'";
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), std::string("'") + bad + "' is not a valid integer value");
    }
  }
}
