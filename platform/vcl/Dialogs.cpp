#include "platform/vcl/Dialogs.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/x11/MessageBox.h"

namespace vcl {

namespace {

// SORVANTA_MESSAGEBOX=stderr keeps every message on stderr alone (no window, never waits).
bool StderrOnly() {
  const char* choice = std::getenv("SORVANTA_MESSAGEBOX");
  return choice && std::strcmp(choice, "stderr") == 0;
}

}  // namespace

void ShowMessageBox(std::uintptr_t owner, const std::string& text, const std::string& caption) {
  // One line on stderr, whatever line breaks the text has.
  std::string line = text;
  for (char& c : line)
    if (c == '\n' || c == '\r') c = ' ';
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
  if (StderrOnly()) return;
  x11::RunMessageBox(owner, text, caption);
}

}  // namespace vcl
