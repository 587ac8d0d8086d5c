#include "service/messages/ServiceMessages.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>

#include "platform/clock/SimulatedClock.h"
#include "platform/loop/EventLoop.h"
#include "service/messages/LoopWindowPoster.h"

namespace TESKTV::SERVICE {
namespace {

TEST(ServiceMessagesTest, TheTableHoldsEachMessageOnceWithItsNumber) {
  const std::pair<std::string_view, std::uint32_t> expected[] = {
      {"TESK_SLEEP_STANDBY", 1144},   {"TESK_SLEEP_HIBERNATE", 1145},  {"TESK_SLEEP_SHUTDOWN", 1146},
      {"TESK_SLEEP_CLOSEAP", 1147},   {"TESK_SLEEP_LOGOFF", 1148},     {"TESK_TIME_STARTAP", 1149},
      {"TESK_TIME_WAKEUP", 1150},     {"TESK_RELOAD_SCHEDULES", 2032}, {"TESK_ACTIVE_SCHEDULE", 3431},
      {"TESK_ACTIVE_AP", 3447},
  };
  ASSERT_EQ(kServiceMessages.size(), std::size(expected));
  std::set<std::uint32_t> numbers;
  for (const ServiceMessageInfo& info : kServiceMessages) EXPECT_TRUE(numbers.insert(info.number).second);
  for (const auto& [name, number] : expected) EXPECT_EQ(ServiceMessageName(number), name) << number;
  EXPECT_EQ(ServiceMessageName(1151), "");
}

TEST(ServiceMessagesTest, EachTimerKindHasItsOwnMessageBothWays) {
  const std::pair<std::int32_t, std::uint32_t> expected[] = {
      {0, TESK_SLEEP_STANDBY}, {1, TESK_SLEEP_HIBERNATE}, {2, TESK_SLEEP_LOGOFF}, {3, TESK_SLEEP_SHUTDOWN},
      {4, TESK_SLEEP_CLOSEAP}, {5, TESK_TIME_STARTAP},    {6, TESK_TIME_WAKEUP},
  };
  for (const auto& [category, message] : expected) {
    const std::optional<TimerKind> kind = TimerKindOf(category);
    ASSERT_TRUE(kind.has_value()) << category;
    EXPECT_EQ(static_cast<std::int32_t>(*kind), category);
    EXPECT_EQ(TimerMessageOf(*kind), message) << category;
    EXPECT_EQ(TimerKindOfMessage(message), kind) << category;
  }
  for (std::int32_t category : {-1, 7, 1144}) EXPECT_FALSE(TimerKindOf(category).has_value()) << category;
  for (std::uint32_t message : {TESK_ACTIVE_AP, TESK_ACTIVE_SCHEDULE, TESK_RELOAD_SCHEDULES, 0u}) {
    EXPECT_FALSE(TimerKindOfMessage(message).has_value()) << message;
  }
}

TEST(LoopWindowPosterTest, MessagesFromOtherThreadsRunOnTheLoopInOrderUntilClosed) {
  quorvane::platform::SimulatedClock clock;
  auto loop = quorvane::platform::EventLoop::Create(clock);
  ASSERT_TRUE(loop.ok());
  std::vector<std::uint64_t> handled;
  LoopWindowPoster poster(**loop, [&](const PostedMessage& message) { handled.push_back(message.wParam); });
  std::thread sender([&] {
    for (std::uint64_t i = 0; i < 100; ++i) EXPECT_TRUE(poster.Post({TESK_ACTIVE_AP, i, 0, nullptr}));
  });
  sender.join();
  EXPECT_TRUE(handled.empty());  // nothing runs before the loop does
  (*loop)->RunUntilIdle();
  ASSERT_EQ(handled.size(), 100u);
  for (std::uint64_t i = 0; i < 100; ++i) EXPECT_EQ(handled[i], i);

  EXPECT_TRUE(poster.Post({TESK_ACTIVE_AP, 100, 0, nullptr}));
  poster.Close();  // the window goes: queued messages are dropped
  EXPECT_FALSE(poster.Post({TESK_ACTIVE_AP, 101, 0, nullptr}));
  (*loop)->RunUntilIdle();
  EXPECT_EQ(handled.size(), 100u);
}

}  // namespace
}  // namespace TESKTV::SERVICE
