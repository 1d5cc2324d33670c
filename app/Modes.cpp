#include "app/Modes.h"

#include <cstdio>

namespace app {

Mode ChooseMode(const std::string&) { return Mode::Show; }

int Main(int, char**) {
  std::fprintf(stderr, "sorvanta: not built yet\n");
  return 0;
}

}  // namespace app
