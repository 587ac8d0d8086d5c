#include <gtest/gtest.h>
#include <poll.h>

#include <atomic>
#include <condition_variable>
#include <future>
#include <limits>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/debug/DebugOutput.h"
#include "platform/loop/EventLoop.h"
#include "platform/winmsg/RemoteWindow.h"
#include "platform/winmsg/WindowBusName.h"
#include "platform/winmsg/WindowEndpoint.h"
#include "tests/support/PrivateBus.h"

namespace quorvane::platform {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

constexpr std::uint32_t kIepgRecord = 0x80CA;
constexpr std::uint32_t kQuery = 0x0465;
constexpr std::uint32_t kRunWizard = 1125;
constexpr std::uint32_t kCloseWizard = 1128;

// An event loop on a thread of its own: the other program.
class LoopThread {
 public:
  LoopThread() {
    auto loop = EventLoop::Create();
    EXPECT_TRUE(loop.ok());
    loop_ = std::move(*loop);
    thread_ = std::thread([this] { (void)loop_->Run(); });
  }
  ~LoopThread() {
    loop_->Quit();
    thread_.join();
  }
  EventLoop& loop() { return *loop_; }

  // Runs `f` on the loop's thread and returns its result.
  template <class F>
  auto Call(F f) -> decltype(f()) {
    std::packaged_task<decltype(f())()> task(std::move(f));
    auto result = task.get_future();
    loop_->Post([&task] { task(); });
    return result.get();
  }

 private:
  std::unique_ptr<EventLoop> loop_;
  std::thread thread_;
};

// What a window received, readable from the test thread.
class Inbox {
 public:
  void Add(const WindowMessage& m) {
    std::lock_guard<std::mutex> lock(mutex_);
    messages_.push_back(m);
    cv_.notify_all();
  }
  std::vector<std::uint32_t> Numbers() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::uint32_t> numbers;
    for (const auto& m : messages_) numbers.push_back(m.message);
    return numbers;
  }
  std::vector<WindowMessage> Messages() {
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_;
  }
  bool WaitFor(std::uint32_t number) {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, seconds(10), [&] {
      for (const auto& m : messages_) {
        if (m.message == number) return true;
      }
      return false;
    });
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<WindowMessage> messages_;
};

class WindowMessagingTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(bus_.ok()) << bus_.error(); }

  // A window served on the other program's loop; destroyed there.
  std::shared_ptr<WindowEndpoint> Serve(const std::string& className, const std::string& title) {
    auto endpoint = program_.Call([&]() -> std::shared_ptr<WindowEndpoint> {
      auto registered = WindowEndpoint::Register(className, title, [this](const WindowMessage& m) -> std::int64_t {
        inbox_.Add(m);
        return m.message == kQuery ? m.lParam * 2 : 0;
      });
      if (!registered.ok()) {
        ADD_FAILURE() << registered.error().message;
        return nullptr;
      }
      EXPECT_TRUE((*registered)->AttachTo(program_.loop()).ok());
      return std::shared_ptr<WindowEndpoint>(std::move(*registered));
    });
    return endpoint;
  }
  void Destroy(std::shared_ptr<WindowEndpoint>& endpoint) {
    program_.Call([&] { endpoint.reset(); });
  }

  quorvane::testing::PrivateBus bus_;
  Inbox inbox_;
  LoopThread program_;
};

TEST_F(WindowMessagingTest, FindsWindowsByClassAndByTitle) {
  auto tray = Serve("TeskIrLearningAPP", "TeskIrLearning");
  auto scheduler = Serve("TeskIr_Scheduler", "");
  auto mediaCenter = Serve("eHome Render Window", "Windows Media Center");
  ASSERT_TRUE(tray && scheduler && mediaCenter);

  auto found = FindWindow("TeskIrLearningAPP", "TeskIrLearning");
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(found->className, "TeskIrLearningAPP");
  EXPECT_EQ(found->owner.front(), ':');  // the program's unique name
  EXPECT_TRUE(FindWindow("TeskIrLearningAPP").has_value());
  EXPECT_FALSE(FindWindow("TeskIrLearningAPP", "teskirlearning").has_value());
  EXPECT_FALSE(FindWindow("TeskIrLearningAPP", "").has_value());

  EXPECT_TRUE(FindWindow("TeskIr_Scheduler", "").has_value());  // the empty title is a title
  EXPECT_TRUE(FindWindow("eHome Render Window", "Windows Media Center").has_value());
  EXPECT_FALSE(FindWindow("TeskIr_Schedule").has_value());

  auto bus = WindowBus::ForThisThread();
  ASSERT_TRUE(bus.ok());
  EXPECT_EQ((*bus)->Title(*found).value(), "TeskIrLearning");
  ASSERT_TRUE(program_.Call([&] { return tray->SetTitle("Renamed").ok(); }));
  EXPECT_FALSE(FindWindow("TeskIrLearningAPP", "TeskIrLearning").has_value());
  EXPECT_TRUE(FindWindow("TeskIrLearningAPP", "Renamed").has_value());

  Destroy(tray);
  Destroy(scheduler);
  Destroy(mediaCenter);
}

TEST_F(WindowMessagingTest, PostsArriveInOrderAndSendReturnsTheHandlersResult) {
  auto scheduler = Serve("TeskIr_Scheduler", "");
  auto window = FindWindow("TeskIr_Scheduler");
  ASSERT_TRUE(window.has_value());
  for (std::int64_t n = 1; n <= 5; ++n) ASSERT_TRUE(PostMessage(*window, kIepgRecord, 0, n).ok());
  // A send is answered after what was posted before it was handled.
  auto answer = SendMessage(*window, kQuery, 0, 21, seconds(10));
  ASSERT_TRUE(answer.ok()) << answer.error().message;
  EXPECT_EQ(*answer, 42);
  const auto messages = inbox_.Messages();
  ASSERT_EQ(messages.size(), 6u);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(messages[i].message, kIepgRecord);
    EXPECT_EQ(messages[i].lParam, i + 1);
  }

  // The full range of both parameters survives the trip.
  constexpr auto kBig = std::numeric_limits<std::uint64_t>::max();
  constexpr auto kLow = std::numeric_limits<std::int64_t>::min() / 2;
  ASSERT_TRUE(PostMessage(*window, 0xFFFFFFFFu, kBig, kLow).ok());
  EXPECT_EQ(SendMessage(*window, kQuery, kBig, -7).value(), -14);
  const auto last = inbox_.Messages();
  EXPECT_EQ(last[6].message, 0xFFFFFFFFu);
  EXPECT_EQ(last[6].wParam, kBig);
  EXPECT_EQ(last[6].lParam, kLow);
  EXPECT_EQ(last[7].wParam, kBig);
  Destroy(scheduler);
}

TEST_F(WindowMessagingTest, AWindowThatDisappearsIsNoLongerFoundOrReachable) {
  auto first = Serve("TeskIr_Scheduler", "");
  auto window = FindWindow("TeskIr_Scheduler");
  ASSERT_TRUE(window.has_value());
  auto bus = WindowBus::ForThisThread();
  ASSERT_TRUE(bus.ok());
  EXPECT_TRUE((*bus)->IsWindow(*window));
  Destroy(first);

  EXPECT_FALSE(FindWindow("TeskIr_Scheduler").has_value());
  EXPECT_FALSE((*bus)->IsWindow(*window));
  EXPECT_FALSE(PostMessage(*window, kIepgRecord, 0, 1).ok());
  EXPECT_FALSE(SendMessage(*window, kQuery, 0, 1, seconds(10)).ok());

  // A new window of the class is a different window: the old handle stays dead.
  auto second = Serve("TeskIr_Scheduler", "");
  EXPECT_FALSE(PostMessage(*window, kIepgRecord, 0, 1).ok());
  auto again = FindWindow("TeskIr_Scheduler");
  ASSERT_TRUE(again.has_value());
  EXPECT_NE(again->owner, window->owner);
  EXPECT_EQ(SendMessage(*again, kQuery, 0, 4).value(), 8);
  Destroy(second);
}

TEST_F(WindowMessagingTest, ASecondWindowOfAClassIsRefused) {
  auto first = Serve("TeskIrLearningAPP", "TeskIrLearning");
  ASSERT_TRUE(first);
  auto second = WindowEndpoint::Register("TeskIrLearningAPP", "TeskIrLearning", [](const WindowMessage&) { return 0; });
  ASSERT_FALSE(second.ok());
  EXPECT_NE(second.error().message.find("exists already"), std::string::npos);
  EXPECT_FALSE(WindowEndpoint::Register("Bad title", std::string("\xff\xfe", 2), [](const WindowMessage&) {
                 return 0;
               }).ok());
  Destroy(first);
}

TEST_F(WindowMessagingTest, ASendCanBeAnsweredLaterWhileTheWindowKeepsHandlingMessages) {
  // The wizard's tray window: 1125 opens the wizard and is answered when
  // it closes; meanwhile other messages arrive.
  std::optional<SendReply> pending;
  auto tray = program_.Call([&]() -> std::shared_ptr<WindowEndpoint> {
    auto registered = WindowEndpoint::RegisterDeferring(
        "TeskIrLearningAPP", "TeskIrLearning", [&](const WindowMessage& m, SendReply reply) {
          inbox_.Add(m);
          if (m.message == kRunWizard) pending = std::move(reply);
          if (m.message == kCloseWizard && pending) {
            (*pending)(77);
            pending.reset();
          }
        });
    if (!registered.ok()) return nullptr;
    EXPECT_TRUE((*registered)->AttachTo(program_.loop()).ok());
    return std::shared_ptr<WindowEndpoint>(std::move(*registered));
  });
  ASSERT_TRUE(tray);

  std::atomic<bool> answered{false};
  Result<std::int64_t> answer = MakeError("no answer");
  std::thread kitroster([&] {
    auto window = FindWindow("TeskIrLearningAPP", "TeskIrLearning");
    if (window) answer = SendMessage(*window, kRunWizard);
    answered = true;
  });
  ASSERT_TRUE(inbox_.WaitFor(kRunWizard));
  EXPECT_FALSE(answered.load());
  auto window = FindWindow("TeskIrLearningAPP");
  ASSERT_TRUE(window.has_value());
  ASSERT_TRUE(PostMessage(*window, kIepgRecord).ok());
  ASSERT_TRUE(PostMessage(*window, kCloseWizard).ok());
  kitroster.join();
  ASSERT_TRUE(answer.ok()) << answer.error().message;
  EXPECT_EQ(*answer, 77);
  EXPECT_EQ(inbox_.Numbers(), (std::vector<std::uint32_t>{kRunWizard, kIepgRecord, kCloseWizard}));
  Destroy(tray);
}

TEST_F(WindowMessagingTest, AnUnansweredSendGetsZeroAndATimeoutIsReported) {
  std::optional<SendReply> held;
  auto window = program_.Call([&]() -> std::shared_ptr<WindowEndpoint> {
    auto registered = WindowEndpoint::RegisterDeferring("Slow", "", [&](const WindowMessage& m, SendReply reply) {
      if (m.message == 1) return;  // dropped: answered with 0
      held = std::move(reply);     // kept: never answered in time
    });
    if (!registered.ok()) return nullptr;
    EXPECT_TRUE((*registered)->AttachTo(program_.loop()).ok());
    return std::shared_ptr<WindowEndpoint>(std::move(*registered));
  });
  ASSERT_TRUE(window);
  auto found = FindWindow("Slow");
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(SendMessage(*found, 1).value(), 0);
  auto late = SendMessage(*found, 2, 0, 0, milliseconds(50));
  ASSERT_FALSE(late.ok());
  EXPECT_NE(late.error().message.find("no answer in time"), std::string::npos);
  program_.Call([&] { held.reset(); });
  Destroy(window);
}

TEST_F(WindowMessagingTest, BadCallsGetErrorRepliesAndTheWindowLivesOn) {
  auto scheduler = Serve("TeskIr_Scheduler", "");
  ASSERT_TRUE(scheduler);
  auto window = FindWindow("TeskIr_Scheduler");
  ASSERT_TRUE(window.has_value());
  auto opened = sdbus::OpenSessionBus();
  ASSERT_TRUE(opened.ok());
  sd_bus* raw = opened->get();

  sdbus::BusError error1;
  sd_bus_message* reply = nullptr;
  EXPECT_LT(sd_bus_call_method(raw, window->owner.c_str(), kWindowObjectPath, kWindowInterface, "SendMessage",
                               error1.get(), &reply, "s", "not a message"),
            0);
  EXPECT_TRUE(error1.HasName(SD_BUS_ERROR_INVALID_ARGS)) << error1.Describe("SendMessage", 0);
  sdbus::BusError error2;
  EXPECT_LT(sd_bus_call_method(raw, window->owner.c_str(), kWindowObjectPath, kWindowInterface, "PostMessage",
                               error2.get(), &reply, "uu", 1u, 2u),
            0);
  EXPECT_TRUE(error2.HasName(SD_BUS_ERROR_INVALID_ARGS));
  sdbus::BusError error3;
  EXPECT_LT(sd_bus_call_method(raw, window->owner.c_str(), kWindowObjectPath, kWindowInterface, "DestroyWindow",
                               error3.get(), &reply, ""),
            0);
  EXPECT_TRUE(error3.HasName(SD_BUS_ERROR_UNKNOWN_METHOD));
  // A PostMessage called by a client that does wait gets an empty answer.
  sdbus::BusError error4;
  EXPECT_GE(sd_bus_call_method(raw, window->owner.c_str(), kWindowObjectPath, kWindowInterface, "PostMessage",
                               error4.get(), &reply, "utx", kIepgRecord, std::uint64_t{0}, std::int64_t{9}),
            0);
  sd_bus_message_unref(reply);

  EXPECT_EQ(SendMessage(*window, kQuery, 0, 1).value(), 2);
  EXPECT_EQ(inbox_.Numbers(), (std::vector<std::uint32_t>{kIepgRecord, kQuery}));
  Destroy(scheduler);
}

TEST_F(WindowMessagingTest, RunsInAHostLoopThroughFdEventsAndTimeout) {
  auto registered = WindowEndpoint::Register("TeskIr_Scheduler", "", [this](const WindowMessage& m) {
    inbox_.Add(m);
    return std::int64_t{m.lParam + 1};
  });
  ASSERT_TRUE(registered.ok()) << registered.error().message;
  std::unique_ptr<WindowEndpoint> endpoint = std::move(*registered);
  std::atomic<bool> stop{false};
  std::thread host([&] {
    while (!stop) {
      pollfd poller{endpoint->Fd(), endpoint->Events(), 0};
      const auto timeout = endpoint->Timeout();
      // A bounded wait so that the stop flag is seen; a real host waits
      // for its own events as well.
      const int ms = timeout ? static_cast<int>(std::min<long>(timeout->count(), 50)) : 50;
      ::poll(&poller, 1, ms);
      if (!endpoint->Process().ok()) break;
    }
  });
  auto window = FindWindow("TeskIr_Scheduler");
  ASSERT_TRUE(window.has_value());
  EXPECT_EQ(SendMessage(*window, kQuery, 0, 41).value(), 42);
  stop = true;
  host.join();
}

TEST_F(WindowMessagingTest, AProgramFindsAndPostsToItsOwnWindowFromTheServingThread) {
  // The wizard's first instance looks up its own tray window by class and
  // title on its only thread; the lookup must not wait for that thread.
  auto loop = EventLoop::Create();
  ASSERT_TRUE(loop.ok());
  auto tray = WindowEndpoint::Register("TeskIrLearningAPP", "TeskIrLearning", [this](const WindowMessage& m) {
    inbox_.Add(m);
    return std::int64_t{0};
  });
  ASSERT_TRUE(tray.ok()) << tray.error().message;
  ASSERT_TRUE((*tray)->AttachTo(**loop).ok());
  auto window = FindWindow("TeskIrLearningAPP", "TeskIrLearning");
  ASSERT_TRUE(window.has_value());
  ASSERT_TRUE(PostMessage(*window, kRunWizard, 1).ok());
  // The post travels through the bus daemon and back.
  for (int i = 0; i < 100 && inbox_.Numbers().empty(); ++i) {
    pollfd poller{(*loop)->Fd(), POLLIN, 0};
    ::poll(&poller, 1, 100);
    (*loop)->Dispatch();
  }
  ASSERT_FALSE(inbox_.Numbers().empty());
  EXPECT_EQ(inbox_.Messages()[0].wParam, 1u);
  tray->reset();
  EXPECT_FALSE(FindWindow("TeskIrLearningAPP").has_value());
}

TEST_F(WindowMessagingTest, WithoutABusNothingIsFoundAndTheReasonIsLogged) {
  bus_.Stop();
  ::setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/quorvane-bus", 1);
  DebugCapture capture;
  EXPECT_FALSE(FindWindow("TeskIr_Scheduler").has_value());
  EXPECT_TRUE(capture.Contains("FindWindow \"TeskIr_Scheduler\""));
  EXPECT_FALSE(PostMessage(RemoteWindow{"TeskIr_Scheduler", ":1.1"}, kIepgRecord).ok());
  EXPECT_FALSE(WindowEndpoint::Register("TeskIr_Scheduler", "", [](const WindowMessage&) { return 0; }).ok());
  ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
}

TEST(PrivateBusTest, ASystemRoleBusIsReachedAsTheSystemBusAndRestoresTheVariable) {
  ::setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/before", 1);
  {
    quorvane::testing::PrivateBus system(quorvane::testing::PrivateBus::Role::kSystem);
    ASSERT_TRUE(system.ok()) << system.error();
    EXPECT_EQ(std::string(std::getenv("DBUS_SYSTEM_BUS_ADDRESS")), system.address());
    sd_bus* raw = nullptr;
    ASSERT_GE(sd_bus_open_system(&raw), 0);
    sdbus::BusPtr bus(raw);
    const char* unique = nullptr;
    EXPECT_GE(sd_bus_get_unique_name(bus.get(), &unique), 0);
  }
  EXPECT_STREQ(std::getenv("DBUS_SYSTEM_BUS_ADDRESS"), "unix:path=/nonexistent/before");
  ::unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
}

}  // namespace
}  // namespace quorvane::platform
