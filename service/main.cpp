// TeskIrWakeward: the schedule service and automation server.

#include <signal.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "platform/clock/Clock.h"
#include "service/host/CServiceModule.h"
#include "service/log/ServiceLog.h"

int main(int argc, char** argv) {
  // Stop signals arrive through the loop; every thread started later
  // inherits the mask.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  std::error_code error;
  TESKTV::SERVICE::ServiceLog::Process().Open(std::filesystem::current_path(error), quorvane::platform::RealClock());

  auto environment = TESKTV::SERVICE::CServiceModule::Environment::FromProcess();
  if (!environment) {
    std::fprintf(stderr, "TeskIrWakeward: %s\n", environment.error().message.c_str());
    return 1;
  }
  TESKTV::SERVICE::CServiceModule module(std::move(*environment));
  return module.Main(std::vector<std::string>(argv + 1, argv + argc));
}
