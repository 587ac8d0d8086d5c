#pragma once
// A message with an OK button shown in a user's desktop session, as a
// service tells the console user about something it cannot solve alone.

#include <chrono>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/Result.h"
#include "platform/session/ConsoleUser.h"

namespace quorvane::platform {

// How a message ended, numbered as message boxes number their answers.
inline constexpr int kMessageAnswerOk = 1;
inline constexpr int kMessageAnswerTimeout = 32000;
// Shown; the answer is not waited for.
inline constexpr int kMessageAnswerAsync = 32001;

class SessionMessenger {
 public:
  virtual ~SessionMessenger() = default;
  // Shows the message to `user` for at most `timeout`; the answer, or an
  // error when it could not be shown.
  virtual Result<int> Show(const ConsoleUser& user, std::string_view title, std::string_view text,
                           std::chrono::seconds timeout) = 0;
};

// A desktop notification (org.freedesktop.Notifications) on the user's
// session bus: the process's own session bus for its own user, otherwise,
// as root, the user's bus reached through systemd ("<user>@.host"). The
// notification expires after the timeout; the call does not wait for it,
// so the answer is kMessageAnswerAsync.
class NotificationMessenger final : public SessionMessenger {
 public:
  static constexpr const char* kAppName = "TeskIrWakeward";

  Result<int> Show(const ConsoleUser& user, std::string_view title, std::string_view text,
                   std::chrono::seconds timeout) override;
};

// Keeps every message instead of showing it, for tests.
class RecordingMessenger final : public SessionMessenger {
 public:
  struct Message {
    ConsoleUser user;
    std::string title;
    std::string text;
    std::chrono::seconds timeout{};
  };

  explicit RecordingMessenger(int answer = kMessageAnswerOk) : answer_(answer) {}

  Result<int> Show(const ConsoleUser& user, std::string_view title, std::string_view text,
                   std::chrono::seconds timeout) override;
  std::vector<Message> Messages() const;

 private:
  mutable std::mutex mutex_;
  int answer_;
  std::vector<Message> messages_;
};

}  // namespace quorvane::platform
