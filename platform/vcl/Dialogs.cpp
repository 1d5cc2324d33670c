#include "platform/vcl/Dialogs.h"

#include <cstdio>

namespace vcl {

void ShowMessageBox(std::uintptr_t, const std::string& text, const std::string&) {
  std::fprintf(stderr, "%s\n", text.c_str());
}

}  // namespace vcl
