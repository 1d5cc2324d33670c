#include "platform/shell/Shell.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstring>
#include <mutex>

extern char** environ;

namespace shell {

namespace {

std::mutex& OpenerMutex() {
  static std::mutex m;
  return m;
}

Opener& CurrentOpener() {
  static Opener opener;
  return opener;
}

bool SpawnXdgOpen(const std::string& file) {
  std::string program = "xdg-open";
  std::string argument = file;
  char* argv[] = {program.data(), argument.data(), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  // The browser's chatter does not belong on our terminal's input.
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return false;
  (void)pid;
  return true;
}

}  // namespace

void SetOpener(Opener opener) {
  std::lock_guard lock(OpenerMutex());
  CurrentOpener() = std::move(opener);
}

bool ShellExecuteA(vcl::HWND, const char* verb, const char* file, const char*, const char*, int) {
  const std::string v = verb ? verb : "";
  const std::string f = file ? file : "";
  {
    std::lock_guard lock(OpenerMutex());
    if (CurrentOpener()) return CurrentOpener()(v, f);
  }
  // Openers started earlier are collected here, without waiting, so none lingers for long.
  while (waitpid(-1, nullptr, WNOHANG) > 0) {
  }
  if (v != "open" || f.empty()) return false;
  return SpawnXdgOpen(f);
}

}  // namespace shell
