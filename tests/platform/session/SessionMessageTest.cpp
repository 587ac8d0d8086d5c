// Messages to the user's session as desktop notifications, against a
// notification server of the test's own on a private session bus.

#include <gtest/gtest.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/session/SessionMessage.h"
#include "platform/winmsg/SdBus.h"
#include "tests/support/PrivateBus.h"

namespace quorvane::platform {
namespace {

struct Notification {
  std::string app;
  std::string summary;
  std::string body;
  std::vector<std::string> actions;
  std::int32_t expire = 0;
};

// Serves org.freedesktop.Notifications.Notify on the session bus and keeps
// what it was sent.
class NotificationServer {
 public:
  NotificationServer() {
    sd_bus* raw = nullptr;
    if (sd_bus_open_user(&raw) < 0) return;
    bus_.reset(raw);
    sd_bus_slot* slot = nullptr;
    if (sd_bus_add_object_vtable(bus_.get(), &slot, "/org/freedesktop/Notifications",
                                 "org.freedesktop.Notifications", kVtable, this) < 0) {
      return;
    }
    slot_.reset(slot);
    if (sd_bus_request_name(bus_.get(), "org.freedesktop.Notifications", 0) < 0) return;
    thread_ = std::thread([this] {
      while (!stop_) {
        const int r = sd_bus_process(bus_.get(), nullptr);
        if (r < 0) break;
        if (r == 0) sd_bus_wait(bus_.get(), 50'000);
      }
    });
    ready_ = true;
  }
  ~NotificationServer() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }

  bool ready() const { return ready_; }
  std::vector<Notification> Received() {
    std::lock_guard lock(mutex_);
    return received_;
  }

 private:
  static int Notify(sd_bus_message* call, void* self, sd_bus_error*) {
    Notification n;
    const char* app = nullptr;
    std::uint32_t replaces = 0;
    const char* icon = nullptr;
    const char* summary = nullptr;
    const char* body = nullptr;
    int r = sd_bus_message_read(call, "susss", &app, &replaces, &icon, &summary, &body);
    if (r < 0) return r;
    n.app = app;
    n.summary = summary;
    n.body = body;
    char** actions = nullptr;
    r = sd_bus_message_read_strv(call, &actions);
    if (r < 0) return r;
    for (char** a = actions; a && *a; ++a) {
      n.actions.emplace_back(*a);
      free(*a);
    }
    free(actions);
    r = sd_bus_message_skip(call, "a{sv}");
    if (r < 0) return r;
    r = sd_bus_message_read(call, "i", &n.expire);
    if (r < 0) return r;
    auto* server = static_cast<NotificationServer*>(self);
    {
      std::lock_guard lock(server->mutex_);
      server->received_.push_back(n);
    }
    return sd_bus_reply_method_return(call, "u", 7u);
  }

  static constexpr sd_bus_vtable kVtable[] = {
      SD_BUS_VTABLE_START(0),
      SD_BUS_METHOD("Notify", "susssasa{sv}i", "u", Notify, SD_BUS_VTABLE_UNPRIVILEGED),
      SD_BUS_VTABLE_END,
  };

  sdbus::BusPtr bus_;
  sdbus::SlotPtr slot_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  bool ready_ = false;
  std::mutex mutex_;
  std::vector<Notification> received_;
};

TEST(SessionMessage, NotificationReachesTheUsersSession) {
  quorvane::testing::PrivateBus bus;
  ASSERT_TRUE(bus.ok()) << bus.error();
  NotificationServer server;
  ASSERT_TRUE(server.ready());

  NotificationMessenger messenger;
  const auto answer = messenger.Show(LookUpConsoleUser(geteuid()), "Velmora Scheduler",
                                     "Device use conflicts!\nEnd <the> other & retry.", std::chrono::seconds(15));
  ASSERT_TRUE(answer.ok()) << answer.error().message;
  EXPECT_EQ(*answer, kMessageAnswerAsync);

  const auto received = server.Received();
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].app, "TeskIrWakeward");
  EXPECT_EQ(received[0].summary, "Velmora Scheduler");
  EXPECT_EQ(received[0].body, "Device use conflicts!\nEnd &lt;the&gt; other &amp; retry.");
  EXPECT_EQ(received[0].actions, (std::vector<std::string>{"default", "OK"}));
  EXPECT_EQ(received[0].expire, 15000);
}

TEST(SessionMessage, NoNotificationServerIsAnError) {
  quorvane::testing::PrivateBus bus;
  ASSERT_TRUE(bus.ok()) << bus.error();
  NotificationMessenger messenger;
  const auto answer = messenger.Show(LookUpConsoleUser(geteuid()), "t", "x", std::chrono::seconds(1));
  ASSERT_FALSE(answer.ok());
  EXPECT_NE(answer.error().message.find("notification not shown"), std::string::npos);
}

TEST(SessionMessage, AnotherUsersSessionNeedsRoot) {
  if (geteuid() == 0) GTEST_SKIP() << "root reaches every user's session";
  NotificationMessenger messenger;
  const auto answer = messenger.Show(LookUpConsoleUser(geteuid() + 1), "t", "x", std::chrono::seconds(1));
  ASSERT_FALSE(answer.ok());
}

TEST(SessionMessage, RecordingMessengerKeepsMessages) {
  RecordingMessenger messenger(kMessageAnswerTimeout);
  const auto answer = messenger.Show(LookUpConsoleUser(1000), "T", "X", std::chrono::seconds(3));
  ASSERT_TRUE(answer.ok());
  EXPECT_EQ(*answer, kMessageAnswerTimeout);
  ASSERT_EQ(messenger.Messages().size(), 1u);
  EXPECT_EQ(messenger.Messages()[0].user.uid, 1000u);
  EXPECT_EQ(messenger.Messages()[0].title, "T");
  EXPECT_EQ(messenger.Messages()[0].timeout, std::chrono::seconds(3));
}

}  // namespace
}  // namespace quorvane::platform
