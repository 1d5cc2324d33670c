#include "support/Child.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace testsupport {

Child::Child(const std::vector<std::string>& argv, const EnvChanges& env) {
  std::vector<std::string> envText;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    const std::string key = entry.substr(0, entry.find('='));
    if (!env.count(key)) envText.push_back(entry);
  }
  for (const auto& [key, value] : env)
    if (value) envText.push_back(key + "=" + *value);
  std::vector<char*> envp, args;
  for (std::string& e : envText) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::vector<std::string> argText = argv;
  for (std::string& a : argText) args.push_back(a.data());
  args.push_back(nullptr);

  int err[2], out[2];
  if (pipe2(err, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  const int rc = posix_spawnp(&FPid, args[0], &actions, nullptr, args.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(err[1]);
  close(out[1]);
  FErr = err[0];
  FOut = out[0];
  if (rc != 0) {
    FPid = -1;
    throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(rc));
  }
  FReader = std::thread([this] { Read(); });
}

Child::~Child() {
  if (FPid > 0 && !FReaped) {
    kill(FPid, SIGKILL);
    waitpid(FPid, &FStatus, 0);
  }
  if (FReader.joinable()) FReader.join();
  if (FErr >= 0) close(FErr);
  if (FOut >= 0) close(FOut);
}

void Child::Read() {
  pollfd fds[2] = {{FErr, POLLIN, 0}, {FOut, POLLIN, 0}};
  std::string* texts[2] = {&FErrText, &FOutText};
  int open = 2;
  while (open > 0 && poll(fds, 2, -1) > 0) {
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        std::lock_guard lock(FMutex);
        texts[i]->append(buffer, static_cast<std::size_t>(n));
      } else {
        fds[i].fd = -1;  // the end: the child and all it started have closed it
        --open;
      }
    }
  }
}

bool Child::Running() {
  if (FReaped) return false;
  if (waitpid(FPid, &FStatus, WNOHANG) == FPid) FReaped = true;
  return !FReaped;
}

ChildResult Child::Wait(std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (Running()) {
    if (std::chrono::steady_clock::now() >= deadline) {
      kill(FPid, SIGKILL);
      waitpid(FPid, &FStatus, 0);
      FReaped = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (FReader.joinable()) FReader.join();
  ChildResult result;
  result.exited = WIFEXITED(FStatus);
  result.exitCode = WIFEXITED(FStatus) ? WEXITSTATUS(FStatus) : -1;
  std::lock_guard lock(FMutex);
  result.err = FErrText;
  result.out = FOutText;
  return result;
}

ChildResult RunSorvanta(const std::vector<std::string>& args, const EnvChanges& env,
                        std::chrono::milliseconds limit) {
  std::vector<std::string> argv{SORVANTA_EXE};
  argv.insert(argv.end(), args.begin(), args.end());
  Child child(argv, env);
  return child.Wait(limit);
}

}  // namespace testsupport
