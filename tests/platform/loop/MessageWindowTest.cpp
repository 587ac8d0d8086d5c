#include "platform/loop/MessageWindow.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/clock/ClockThread.h"
#include "platform/clock/SimulatedClock.h"

namespace quorvane::platform {
namespace {

using std::chrono::milliseconds;

constexpr std::uint32_t kActivate = 3431;
constexpr std::uint32_t kQuery = kUserMessage + 1;

struct Received {
  std::uint32_t message;
  std::uint64_t wParam;
  std::int64_t lParam;
  std::thread::id thread;
  bool operator==(const Received&) const = default;
};

class MessageWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto created = EventLoop::Create(clock_);
    ASSERT_TRUE(created.ok());
    loop_ = std::move(*created);
    window_ = std::make_unique<MessageWindow>(*loop_, [this](const WindowMessage& m) -> std::int64_t {
      received_.push_back({m.message, m.wParam, m.lParam, std::this_thread::get_id()});
      return m.message == kQuery ? m.lParam * 2 : 0;
    });
  }

  SimulatedClock clock_;
  std::unique_ptr<EventLoop> loop_;
  std::unique_ptr<MessageWindow> window_;
  std::vector<Received> received_;
};

TEST_F(MessageWindowTest, PostedMessagesAreHandledOnTheLoopThreadInOrder) {
  const WindowHandle handle = window_->Handle();
  std::thread poster([&] {
    EXPECT_TRUE(handle.PostMessage(kActivate, 0, 11));
    EXPECT_TRUE(handle.PostMessage(kActivate, 1, 22));
  });
  poster.join();
  EXPECT_TRUE(received_.empty());  // queued, not yet handled
  loop_->RunUntilIdle();
  const auto me = std::this_thread::get_id();
  EXPECT_EQ(received_, (std::vector<Received>{{kActivate, 0, 11, me}, {kActivate, 1, 22, me}}));
}

TEST_F(MessageWindowTest, SendReturnsTheHandlersResult) {
  // On the window's own thread the handler runs at once.
  EXPECT_EQ(window_->SendMessage(kQuery, 0, 21), 42);
  ASSERT_EQ(received_.size(), 1u);

  // From another thread it waits until the loop has handled it.
  ClockThread loopThread(clock_, [&] { ASSERT_TRUE(loop_->Run().ok()); });
  std::optional<std::int64_t> answer;
  std::thread sender([&] { answer = window_->Handle().SendMessage(kQuery, 0, 50); });
  sender.join();
  EXPECT_EQ(answer, 100);
  loop_->Quit();
  loopThread.Join();
  ASSERT_EQ(received_.size(), 2u);
  EXPECT_NE(received_[1].thread, std::this_thread::get_id());
}

TEST_F(MessageWindowTest, MessagesToAGoneWindowAreRefusedOrDropped) {
  const WindowHandle handle = window_->Handle();
  EXPECT_TRUE(handle.IsWindow());
  EXPECT_TRUE(handle.PostMessage(kActivate));  // queued before the window goes
  std::optional<std::int64_t> answer = 1;
  std::thread sender([&] { answer = handle.SendMessage(kQuery, 0, 1); });
  // The sender waits on the loop's clock once its message is queued.
  ASSERT_TRUE(clock_.WaitForWaiters(1));
  window_.reset();
  loop_->RunUntilIdle();
  sender.join();
  EXPECT_EQ(answer, std::nullopt);
  EXPECT_TRUE(received_.empty());
  EXPECT_FALSE(handle.IsWindow());
  EXPECT_FALSE(handle.PostMessage(kActivate));
  EXPECT_EQ(handle.SendMessage(kQuery), std::nullopt);
  EXPECT_FALSE(WindowHandle().PostMessage(kActivate));
}

TEST_F(MessageWindowTest, WindowTimersDeliverTimerMessagesWithTheirId) {
  window_->SetTimer(1, milliseconds(500));
  window_->SetTimer(2, milliseconds(30000));
  clock_.Advance(milliseconds(1000));
  const auto me = std::this_thread::get_id();
  EXPECT_EQ(received_, (std::vector<Received>{{kTimerMessage, 1, 0, me}, {kTimerMessage, 1, 0, me}}));
  EXPECT_TRUE(window_->KillTimer(1));
  window_.reset();  // its timers go with it
  received_.clear();
  clock_.Advance(milliseconds(60000));
  EXPECT_TRUE(received_.empty());
}

TEST_F(MessageWindowTest, AHandlerMayDestroyItsOwnWindow) {
  std::unique_ptr<MessageWindow> self;
  int calls = 0;
  self = std::make_unique<MessageWindow>(*loop_, [&](const WindowMessage& m) -> std::int64_t {
    ++calls;
    if (m.message == kCloseMessage) self.reset();
    return 0;
  });
  const WindowHandle handle = self->Handle();
  handle.PostMessage(kCloseMessage);
  handle.PostMessage(kActivate);  // after the close: dropped
  loop_->RunUntilIdle();
  EXPECT_EQ(calls, 1);
  EXPECT_FALSE(handle.IsWindow());
}

}  // namespace
}  // namespace quorvane::platform
