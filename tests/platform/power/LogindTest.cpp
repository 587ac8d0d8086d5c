// The logind client against a fake logind on a private system bus.

#include <gtest/gtest.h>
#include <poll.h>

#include <chrono>
#include <vector>

#include "platform/loop/EventLoop.h"
#include "platform/power/Logind.h"
#include "tests/support/FakeLogind.h"
#include "tests/support/PrivateBus.h"

namespace quorvane::platform {
namespace {

using namespace std::chrono_literals;
using Call = testing::FakeLogind::Call;

class LogindTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(bus.ok()) << bus.error();
    ASSERT_TRUE(logind.ok()) << logind.error();
    auto connected = Logind::Connect();  // finds the private bus through DBUS_SYSTEM_BUS_ADDRESS
    ASSERT_TRUE(connected) << connected.error().message;
    client = std::move(*connected);
  }

  // Processes the client's connection until `done` or 5 s have passed.
  bool PumpUntil(const std::function<bool()>& done) {
    const auto limit = std::chrono::steady_clock::now() + 5s;
    while (!done()) {
      if (std::chrono::steady_clock::now() > limit) return false;
      if (!client->Process()) return false;
      if (done()) return true;
      pollfd p{client->Fd(), client->Events(), 0};
      const auto timeout = client->Timeout();
      ::poll(&p, 1, timeout ? static_cast<int>(std::min<std::chrono::milliseconds>(*timeout, 100ms).count()) : 100);
    }
    return true;
  }

  testing::PrivateBus bus{testing::PrivateBus::Role::kSystem};
  testing::FakeLogind logind{bus.address()};
  std::unique_ptr<Logind> client;
};

TEST_F(LogindTest, PowerActionsAndLogOffReachLogindWithTheirArguments) {
  ASSERT_TRUE(client->Suspend());
  ASSERT_TRUE(client->Hibernate(true));
  ASSERT_TRUE(client->PowerOff());
  ASSERT_TRUE(client->TerminateSession("c2"));
  EXPECT_EQ(logind.Calls(), (std::vector<Call>{{"Suspend", {"false"}},
                                               {"Hibernate", {"true"}},
                                               {"PowerOff", {"false"}},
                                               {"TerminateSession", {"c2"}}}));
  EXPECT_FALSE(client->TerminateSession(""));
  EXPECT_EQ(logind.Calls().size(), 4u) << "an empty session is not sent";
}

TEST_F(LogindTest, RefusalsComeBackAsErrorsWithTheirName) {
  logind.FailNext("Suspend", "org.freedesktop.login1.OperationInProgress",
                  "There's already a shutdown or sleep operation in progress");
  const Status refused = client->Suspend();
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error().message,
            "logind Suspend: org.freedesktop.login1.OperationInProgress: There's already a shutdown or sleep "
            "operation in progress");
  EXPECT_TRUE(client->Suspend()) << "only the next call fails";

  logind.FailNext("Inhibit", "org.freedesktop.DBus.Error.AccessDenied", "Permission denied");
  auto lock = client->Inhibit(kInhibitSleep, "TeskIrWakeward", "recording", InhibitMode::kBlock);
  ASSERT_FALSE(lock);
  EXPECT_NE(lock.error().message.find("logind Inhibit: org.freedesktop.DBus.Error.AccessDenied"), std::string::npos)
      << lock.error().message;
}

TEST_F(LogindTest, InhibitorLockLastsAsLongAsItsObject) {
  auto block = client->Inhibit(kInhibitSleepAndIdle, "TeskIrWakeward", "A recording is due", InhibitMode::kBlock);
  ASSERT_TRUE(block) << block.error().message;
  auto delay = client->Inhibit(kInhibitSleep, "TeskIrWakeward", "Arming the wake-up", InhibitMode::kDelay);
  ASSERT_TRUE(delay) << delay.error().message;
  EXPECT_EQ(logind.Calls(),
            (std::vector<Call>{{"Inhibit", {"sleep:idle", "TeskIrWakeward", "A recording is due", "block"}},
                               {"Inhibit", {"sleep", "TeskIrWakeward", "Arming the wake-up", "delay"}}}));
  EXPECT_EQ(block->what(), "sleep:idle");
  EXPECT_EQ(delay->mode(), "delay");
  ASSERT_EQ(logind.Inhibitors(), 2u);
  EXPECT_TRUE(logind.InhibitorHeld(0));
  EXPECT_TRUE(logind.InhibitorHeld(1));

  LogindInhibitor moved = std::move(*block);
  EXPECT_TRUE(moved.held());
  EXPECT_FALSE(block->held());
  EXPECT_TRUE(logind.InhibitorHeld(0)) << "moving keeps the lock";

  delay->Release();
  EXPECT_TRUE(logind.WaitInhibitorReleased(1, 5s));
  EXPECT_TRUE(logind.InhibitorHeld(0));
  { LogindInhibitor gone = std::move(moved); }
  EXPECT_TRUE(logind.WaitInhibitorReleased(0, 5s));
}

TEST_F(LogindTest, PrepareForSleepIsDeliveredInOrder) {
  std::vector<bool> seen;
  ASSERT_TRUE(client->OnPrepareForSleep([&](bool start) { seen.push_back(start); }));
  ASSERT_TRUE(logind.EmitPrepareForSleep(true));
  ASSERT_TRUE(logind.EmitPrepareForSleep(false));
  ASSERT_TRUE(PumpUntil([&] { return seen.size() >= 2; }));
  EXPECT_EQ(seen, (std::vector<bool>{true, false}));

  ASSERT_TRUE(client->OnPrepareForSleep(nullptr));
  ASSERT_TRUE(logind.EmitPrepareForSleep(true));
  ASSERT_TRUE(client->Suspend());  // a round trip: the signal has come by now
  ASSERT_TRUE(client->Process());
  EXPECT_EQ(seen.size(), 2u) << "unsubscribed";
}

TEST_F(LogindTest, InsideAnEventLoopTheHandlerMayReleaseTheDelayLock) {
  auto loop = EventLoop::Create();
  ASSERT_TRUE(loop) << loop.error().message;
  auto delay = client->Inhibit(kInhibitSleep, "TeskIrWakeward", "Arming the wake-up", InhibitMode::kDelay);
  ASSERT_TRUE(delay) << delay.error().message;
  std::vector<bool> seen;
  ASSERT_TRUE(client->OnPrepareForSleep([&](bool start) {
    seen.push_back(start);
    if (start) {
      delay->Release();  // the wake-up is armed: the suspend may go on
    } else {
      (*loop)->Quit(0);
    }
  }));
  ASSERT_TRUE(client->AttachTo(**loop));
  ASSERT_TRUE(logind.EmitPrepareForSleep(true));
  ASSERT_TRUE(logind.EmitPrepareForSleep(false));
  (*loop)->SetTimer(99, 5s, [&] { (*loop)->Quit(1); });
  auto exit = (*loop)->Run();
  ASSERT_TRUE(exit);
  EXPECT_EQ(*exit, 0) << "PrepareForSleep did not arrive";
  EXPECT_EQ(seen, (std::vector<bool>{true, false}));
  EXPECT_TRUE(logind.WaitInhibitorReleased(0, 5s));
  client->Detach();
}

TEST(LogindWithoutLogind, CallsFailWithAClearError) {
  testing::PrivateBus bus{testing::PrivateBus::Role::kSystem};
  ASSERT_TRUE(bus.ok()) << bus.error();
  auto client = Logind::ConnectTo(bus.address());
  ASSERT_TRUE(client) << client.error().message;
  const Status status = (*client)->Suspend();
  ASSERT_FALSE(status);
  EXPECT_NE(status.error().message.find("logind Suspend: org.freedesktop.DBus.Error.ServiceUnknown"),
            std::string::npos)
      << status.error().message;

  auto nowhere = Logind::ConnectTo("unix:path=" + ::testing::TempDir() + "quorvane-no-bus-here");
  ASSERT_FALSE(nowhere);
  EXPECT_NE(nowhere.error().message.find("cannot connect to the bus at unix:path="), std::string::npos)
      << nowhere.error().message;
}

}  // namespace
}  // namespace quorvane::platform
