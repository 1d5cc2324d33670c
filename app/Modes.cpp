#include "app/Modes.h"

#include "platform/vcl/Forms.h"
#include "platform/vcl/SysUtils.h"

namespace app {

Mode ChooseMode(const std::string& firstArgument) {
  std::string s = vcl::UpperCase(firstArgument);
  if (s.size() < 2) return Mode::Show;
  if (s.front() == '/' || s.front() == '-') s.erase(0, 1);  // one switch character, no more
  switch (s.front()) {
    case 'P':
      return Mode::Preview;
    case 'C':
      return Mode::Configuration;
    case 'A':
      return Mode::PasswordChange;
    default:
      return Mode::Show;
  }
}

ModeRunners StandardModes() {
  return ModeRunners{[] { RunShow(); }, [](std::int32_t h) { RunPreview(h); }, [] { RunConfiguration(); },
                     [](std::int32_t h) { RunPasswordChange(h); }};
}

int Main(int argc, char** argv) { return Main(argc, argv, StandardModes()); }

int Main(int argc, char** argv, const ModeRunners& modes) {
  try {
    const std::string first = argc > 1 && argv[1] ? argv[1] : "";
    auto handle = [&] { return vcl::StrToInt(argc > 2 && argv[2] ? argv[2] : ""); };
    switch (ChooseMode(first)) {
      case Mode::Show:
        modes.show();
        break;
      case Mode::Preview:
        modes.preview(handle());
        break;
      case Mode::Configuration:
        modes.configuration();
        break;
      case Mode::PasswordChange:
        modes.passwordChange(handle());
        break;
    }
  } catch (const std::exception& e) {
    try {
      vcl::Application().ShowException(e);
    } catch (...) {
    }
  } catch (...) {
    try {
      vcl::Application().ShowException(vcl::Exception("An unexpected error occurred."));
    } catch (...) {
    }
  }
  return 0;
}

}  // namespace app
