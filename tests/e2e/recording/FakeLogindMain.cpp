// quorvane-fake-logind: logind for the headless demo. Starts a private
// "system" bus, serves logind's manager on it (tests/support/FakeLogind.h),
// prints the bus address as its first line and then every call it gets,
// as it gets it, until SIGTERM or SIGINT.

#include <signal.h>

#include <cstdio>
#include <ctime>
#include <string>

#include "tests/support/FakeLogind.h"
#include "tests/support/PrivateBus.h"

int main() {
  // The bus daemon is started first: it must not inherit the blocked stop
  // signals, or it could not be stopped.
  quorvane::testing::PrivateBus bus(quorvane::testing::PrivateBus::Role::kSystem);
  if (!bus.ok()) {
    std::fprintf(stderr, "quorvane-fake-logind: %s\n", bus.error().c_str());
    return 1;
  }
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGTERM);
  sigaddset(&stop, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stop, nullptr);
  quorvane::testing::FakeLogind logind(bus.address());
  if (!logind.ok()) {
    std::fprintf(stderr, "quorvane-fake-logind: %s\n", logind.error().c_str());
    return 1;
  }
  std::printf("address=%s\n", bus.address().c_str());
  std::fflush(stdout);

  std::size_t printed = 0;
  const timespec tick{0, 100 * 1000 * 1000};
  for (;;) {
    const auto calls = logind.Calls();
    for (; printed < calls.size(); ++printed) {
      std::string line = "logind: " + calls[printed].method + "(";
      for (std::size_t i = 0; i < calls[printed].args.size(); ++i) {
        line += (i ? ", " : "") + calls[printed].args[i];
      }
      std::printf("%s)\n", line.c_str());
      std::fflush(stdout);
    }
    if (sigtimedwait(&stop, nullptr, &tick) > 0) return 0;
  }
}
