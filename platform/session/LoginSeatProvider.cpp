#include "platform/session/LoginSeatProvider.h"

#include <systemd/sd-login.h>

#include <cstdlib>

namespace quorvane::platform {
namespace {

// Frees a string sd-login allocated.
struct Freed {
  char* text = nullptr;
  ~Freed() { std::free(text); }
};

class SdLogin final : public LoginSeatQueries {
 public:
  std::optional<ActiveSession> ActiveSessionOf(const std::string& seat) const override {
    Freed session;
    uid_t uid = 0;
    if (sd_seat_get_active(seat.c_str(), &session.text, &uid) < 0 || !session.text) return std::nullopt;
    return ActiveSession{session.text, uid};
  }

  std::optional<std::string> SessionClass(const std::string& session) const override {
    Freed kind;
    if (sd_session_get_class(session.c_str(), &kind.text) < 0 || !kind.text) return std::nullopt;
    return std::string(kind.text);
  }
};

}  // namespace

std::shared_ptr<LoginSeatQueries> SdLoginQueries() { return std::make_shared<SdLogin>(); }

LoginSeatProvider::LoginSeatProvider() : LoginSeatProvider(SdLoginQueries()) {}

LoginSeatProvider::LoginSeatProvider(std::shared_ptr<LoginSeatQueries> queries) : queries_(std::move(queries)) {}

std::optional<ConsoleUser> LoginSeatProvider::CurrentConsoleUser() const {
  const auto active = queries_->ActiveSessionOf(kConsoleSeat);
  if (!active) return std::nullopt;
  const auto kind = queries_->SessionClass(active->session);
  if (!kind || *kind != kUserClass) return std::nullopt;
  return LookUpConsoleUser(active->uid);
}

}  // namespace quorvane::platform
