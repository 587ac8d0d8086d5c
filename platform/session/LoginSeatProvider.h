#pragma once
// The console user of a system service: the user of the active session on
// seat0, as logind keeps it. Only a session of class "user" counts; the
// greeter's and lock screen's sessions do not belong to anybody the
// service works for.

#include <memory>
#include <optional>
#include <string>

#include "platform/session/ConsoleUser.h"

namespace quorvane::platform {

// The two questions asked of logind; replaced in tests, where no logind runs.
class LoginSeatQueries {
 public:
  virtual ~LoginSeatQueries() = default;
  struct ActiveSession {
    std::string session;
    uid_t uid = 0;
  };
  // Nothing when the seat has no active session (or there is no seat).
  virtual std::optional<ActiveSession> ActiveSessionOf(const std::string& seat) const = 0;
  // Nothing when the session is gone or has no class.
  virtual std::optional<std::string> SessionClass(const std::string& session) const = 0;
};

// Asks logind through sd-login (its files under /run/systemd).
std::shared_ptr<LoginSeatQueries> SdLoginQueries();

class LoginSeatProvider final : public ConsoleUserProvider {
 public:
  static constexpr const char* kConsoleSeat = "seat0";
  static constexpr const char* kUserClass = "user";

  LoginSeatProvider();
  explicit LoginSeatProvider(std::shared_ptr<LoginSeatQueries> queries);

  std::optional<ConsoleUser> CurrentConsoleUser() const override;

 private:
  std::shared_ptr<LoginSeatQueries> queries_;
};

}  // namespace quorvane::platform
