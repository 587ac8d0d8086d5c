#include <pthread.h>
#include <signal.h>

#include <cstring>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "tools/TestCmd/TestCmdProgram.h"

int main(int argc, char** argv) {
  // SIGTERM and SIGINT are taken by a thread of their own, which asks the
  // recording to end; SIGUSR1 only releases that thread at the end.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGUSR1);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  quorvane::tools::testcmd::TestCmdProgram program(quorvane::platform::RealClock(), std::cout, std::cerr);
  std::thread watcher([&program, signals] {
    int signal = 0;
    while (sigwait(&signals, &signal) == 0) {
      if (signal == SIGUSR1) return;
      program.Stop(signal == SIGTERM ? "SIGTERM" : "SIGINT");
    }
  });

  const std::vector<std::string> args(argv, argv + argc);
  const int status = program.Run(args);

  pthread_kill(watcher.native_handle(), SIGUSR1);
  watcher.join();
  return status;
}
