#pragma once
// The entry point and the run modes: show, preview, configuration, password change.
#include <string>

namespace app {

enum class Mode { Show, Preview, Configuration, PasswordChange };

// The mode the first argument selects (empty when there is none).
Mode ChooseMode(const std::string& firstArgument);

// The whole entry point: runs one mode inside the one error handler; always returns 0.
int Main(int argc, char** argv);

}  // namespace app
