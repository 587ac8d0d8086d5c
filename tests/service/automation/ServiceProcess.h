#pragma once
// TeskIrWakeward started as a plain process for a test: the program given
// by $QUORVANE_WAKEWARD, with the test's environment (private bus, temp
// folders). Start() returns once it has said "TeskIrWakeward started".

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "platform/base/Result.h"

namespace quorvane::testing {

class ServiceProcess {
 public:
  ServiceProcess() = default;
  ~ServiceProcess();  // SIGTERM and wait
  ServiceProcess(const ServiceProcess&) = delete;
  ServiceProcess& operator=(const ServiceProcess&) = delete;

  platform::Status Start(const std::vector<std::string>& arguments = {},
                         std::chrono::milliseconds timeout = std::chrono::seconds(20));
  pid_t pid() const { return pid_; }
  void Terminate();
  // The exit code once the process has ended within `timeout`; nothing otherwise.
  std::optional<int> WaitForExit(std::chrono::milliseconds timeout);
  // What it wrote to stdout so far (reads what is ready).
  const std::string& Output();

 private:
  pid_t pid_ = -1;
  int pidFd_ = -1;
  int outFd_ = -1;
  std::string output_;
  std::optional<int> exitCode_;
};

// Runs a program to its end; stdout, stderr and the exit code.
struct RunResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};
// `asUser`: run it as that uid (and its group) instead; `environment` adds
// or replaces variables.
RunResult RunProgram(const std::vector<std::string>& argv, std::optional<uid_t> asUser = std::nullopt,
                     const std::vector<std::string>& environment = {});

}  // namespace quorvane::testing
