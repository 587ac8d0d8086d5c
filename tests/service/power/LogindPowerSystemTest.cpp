#include "service/power/LogindPowerSystem.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/support/FakeLogind.h"
#include "tests/support/PrivateBus.h"

namespace TESKTV::SERVICE {
namespace {

namespace platform = quorvane::platform;
using quorvane::testing::FakeLogind;
using quorvane::testing::PrivateBus;
using namespace std::chrono_literals;

TEST(LogindPowerSystemTest, ActionsLocksAndTheSleepFrameGoThroughLogind) {
  PrivateBus bus(PrivateBus::Role::kSystem);
  ASSERT_TRUE(bus.ok()) << bus.error();
  FakeLogind logind(bus.address());
  ASSERT_TRUE(logind.ok()) << logind.error();
  auto loop = platform::EventLoop::Create();
  ASSERT_TRUE(loop.ok());
  LogindPowerSystem power(**loop);
  ASSERT_TRUE(power.Connected()) << power.ConnectError();

  ::setenv("XDG_SESSION_ID", "c7", 1);
  EXPECT_TRUE(power.Suspend());
  EXPECT_TRUE(power.Hibernate());
  EXPECT_TRUE(power.PowerOff());
  EXPECT_TRUE(power.LogOff(platform::LookUpConsoleUser(::geteuid())));
  EXPECT_TRUE(power.HoldSleepBlock(true));
  EXPECT_TRUE(power.HoldSleepBlock(true));  // held once
  EXPECT_TRUE(power.HoldSleepDelay(true));

  const auto calls = logind.Calls();
  ASSERT_EQ(calls.size(), 6u);
  EXPECT_EQ(calls[0], (FakeLogind::Call{"Suspend", {"false"}}));
  EXPECT_EQ(calls[1], (FakeLogind::Call{"Hibernate", {"false"}}));
  EXPECT_EQ(calls[2], (FakeLogind::Call{"PowerOff", {"false"}}));
  EXPECT_EQ(calls[3].method, "TerminateSession");
  EXPECT_EQ(calls[4].method, "Inhibit");
  ASSERT_EQ(calls[4].args.size(), 4u);
  EXPECT_EQ(calls[4].args[0], "sleep:idle");
  EXPECT_EQ(calls[4].args[1], "TeskIrWakeward");
  EXPECT_EQ(calls[4].args[3], "block");
  EXPECT_EQ(calls[5].args[0], "sleep");
  EXPECT_EQ(calls[5].args[3], "delay");

  EXPECT_TRUE(power.HoldSleepBlock(false));
  EXPECT_TRUE(logind.WaitInhibitorReleased(0, 5s));
  EXPECT_TRUE(logind.InhibitorHeld(1));

  std::vector<bool> frames;
  power.OnPrepareForSleep([&](bool start) {
    frames.push_back(start);
    if (frames.size() == 2) (*loop)->Quit();
  });
  ASSERT_TRUE(logind.EmitPrepareForSleep(true));
  ASSERT_TRUE(logind.EmitPrepareForSleep(false));
  (*loop)->PostAfter(10s, [&] { (*loop)->Quit(); });
  (void)(*loop)->Run();
  EXPECT_EQ(frames, (std::vector<bool>{true, false}));
}

TEST(LogindPowerSystemTest, WithoutLogindEveryActionFailsClearly) {
  PrivateBus bus(PrivateBus::Role::kSystem);
  ASSERT_TRUE(bus.ok()) << bus.error();
  auto loop = platform::EventLoop::Create();
  ASSERT_TRUE(loop.ok());
  LogindPowerSystem power(**loop);
  const platform::Status suspended = power.Suspend();
  EXPECT_FALSE(suspended);
  EXPECT_FALSE(power.HoldSleepBlock(true));
  EXPECT_TRUE(power.HoldSleepBlock(false));
}

}  // namespace
}  // namespace TESKTV::SERVICE
