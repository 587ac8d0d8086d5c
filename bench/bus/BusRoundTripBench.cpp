// Round trips of the automation interface on a private bus: one
// GetScheduleProgram2 against a bare sd-bus ping of the same service in
// the same run, and listing 200 schedules as the scheduler does it.

#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <future>
#include <thread>

#include "interface/client/ScheduleProgramClient.h"
#include "platform/session/FakeConsoleUserProvider.h"
#include "platform/winmsg/SdBus.h"
#include "service/host/ServiceHost.h"
#include "tests/support/PrivateBus.h"
#include "tests/support/TempDir.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace automation = quorvane::automation;
namespace wire = quorvane::wire;

double MicrosecondsPer(Clock::duration total, int count) {
  return std::chrono::duration<double, std::micro>(total).count() / count;
}

wire::SCHEDULE_PROGRAM_BOX Schedule(int i) {
  wire::SCHEDULE_PROGRAM_BOX box;
  wire::SetText(box.ID, "SI_BENCH" + std::to_string(i));
  wire::SetText(box.description, "Programme " + std::to_string(i));
  // One device each, so that none conflicts with another.
  wire::SetText(box.device, "Box" + std::to_string(i));
  wire::SetText(box.szMajorCh, "12");
  box.enable = 1;
  box.interval = wire::DAILY;
  box.dtime = wire::Date_Time{2030, 1, 2, 20, 0, 0};
  box.startdtime = box.dtime;
  box.timelen = 60;
  return box;
}

}  // namespace

int main() {
  quorvane::testing::TempDir folder;
  ::setenv("XDG_DATA_HOME", (folder.path() + "/data").c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", (folder.path() + "/config").c_str(), 1);
  ::setenv("QUORVANE_MACHINE_DIR", (folder.path() + "/machine").c_str(), 1);
  quorvane::testing::PrivateBus bus;
  if (!bus.ok()) {
    std::fprintf(stderr, "no private bus: %s\n", bus.error().c_str());
    return 1;
  }
  quorvane::platform::FakeConsoleUserProvider users(quorvane::platform::LookUpConsoleUser(::geteuid()));
  std::promise<void> ready;
  TESKTV::SERVICE::HostOptions options;
  options.consoleUsers = &users;
  options.eventLog = [](std::string_view) {};
  options.onReady = [&ready] { ready.set_value(); };
  TESKTV::SERVICE::ServiceHost host(std::move(options));
  std::thread service([&host] { host.Run(); });
  ready.get_future().wait();

  auto client = automation::ScheduleProgramClient::Connect({automation::BusChoice::kSession});
  auto plain = quorvane::platform::sdbus::OpenSessionBus();
  if (!client || !plain) {
    std::fprintf(stderr, "cannot connect\n");
    host.Stop();
    service.join();
    return 1;
  }
  (void)(*client)->AddScheduleProgram2(Schedule(0));

  constexpr int kRounds = 2000;
  const std::string owner = (*client)->serviceOwner();
  for (int warm = 0; warm < 100; ++warm) (void)(*client)->GetScheduleProgram2("SI_BENCH0");
  auto start = Clock::now();
  for (int i = 0; i < kRounds; ++i) (void)(*client)->GetScheduleProgram2("SI_BENCH0");
  const double getUs = MicrosecondsPer(Clock::now() - start, kRounds);

  start = Clock::now();
  for (int i = 0; i < kRounds; ++i) {
    sd_bus_message* reply = nullptr;
    sd_bus_call_method(plain->get(), owner.c_str(), "/", "org.freedesktop.DBus.Peer", "Ping", nullptr, &reply, "");
    sd_bus_message_unref(reply);
  }
  const double pingUs = MicrosecondsPer(Clock::now() - start, kRounds);

  for (int i = 1; i < 200; ++i) (void)(*client)->AddScheduleProgram2(Schedule(i));
  start = Clock::now();
  auto count = (*client)->GetScheduleProgramNum();
  int listed = 0;
  for (int i = 0; count && i < count->nNum; ++i) {
    auto box = (*client)->GetScheduleProgramEx2(i);
    if (box && box->box) ++listed;
  }
  const double listMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();

  std::printf("GetScheduleProgram2 round trip: %.1f us (%d calls, 3792-byte record)\n", getUs, kRounds);
  std::printf("bare sd-bus Peer.Ping round trip: %.1f us (%d calls, same service)\n", pingUs, kRounds);
  std::printf("ratio GetScheduleProgram2 / ping: %.2f\n", getUs / pingUs);
  std::printf("list of %d schedules (count + %d by-index lookups): %.1f ms\n", listed, listed, listMs);

  client->reset();
  host.Stop();
  service.join();
  return 0;
}
