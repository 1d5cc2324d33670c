#pragma once
// Runs a program as a child process with a chosen environment and collects what it writes.
#include <sys/types.h>

#include <chrono>
#include <map>
#include <mutex>
#include <thread>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

// Changes to the test's own environment: a value sets the variable, nullopt removes it.
using EnvChanges = std::map<std::string, std::optional<std::string>>;

struct ChildResult {
  bool exited = false;  // ended by itself (not killed after the time-out)
  int exitCode = -1;    // its exit code when it exited normally, else -1
  std::string err, out;
};

class Child {
 public:
  Child(const std::vector<std::string>& argv, const EnvChanges& env);
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  pid_t Pid() const { return FPid; }
  // True while the child has not ended.
  bool Running();
  // Waits for the end, at most `limit`; a child still running then is killed.
  ChildResult Wait(std::chrono::milliseconds limit = std::chrono::seconds(30));

 private:
  // Reads both pipes as the child writes, so that it never waits on a full pipe.
  void Read();
  pid_t FPid = -1;
  int FErr = -1, FOut = -1;
  bool FReaped = false;
  int FStatus = 0;
  std::mutex FMutex;
  std::string FErrText, FOutText;
  std::thread FReader;
};

// The built program with its arguments, as a child.
ChildResult RunSorvanta(const std::vector<std::string>& args, const EnvChanges& env,
                        std::chrono::milliseconds limit = std::chrono::seconds(30));

}  // namespace testsupport
