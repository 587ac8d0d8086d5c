// Who the console user is, for a plain process and for a system service
// asking logind (whose answers are replaced here: no logind runs in tests).

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <map>

#include "platform/session/ConsoleUser.h"
#include "platform/session/FakeConsoleUserProvider.h"
#include "platform/session/LoginSeatProvider.h"
#include "platform/session/ProcessUserProvider.h"

namespace quorvane::platform {
namespace {

class ScriptedSeat final : public LoginSeatQueries {
 public:
  std::optional<ActiveSession> active;
  std::map<std::string, std::string> classes;
  mutable std::string askedSeat;

  std::optional<ActiveSession> ActiveSessionOf(const std::string& seat) const override {
    askedSeat = seat;
    return active;
  }
  std::optional<std::string> SessionClass(const std::string& session) const override {
    const auto it = classes.find(session);
    if (it == classes.end()) return std::nullopt;
    return it->second;
  }
};

TEST(ConsoleUser, ProcessUserIsTheEffectiveUser) {
  const auto user = ProcessUserProvider().CurrentConsoleUser();
  ASSERT_TRUE(user.has_value());
  EXPECT_EQ(user->uid, geteuid());
  EXPECT_EQ(user->sid, "S-1-22-1-" + std::to_string(geteuid()));
  if (const passwd* entry = getpwuid(geteuid())) {
    EXPECT_EQ(user->name, entry->pw_name);
    EXPECT_EQ(user->home, entry->pw_dir);
  }
}

TEST(ConsoleUser, AccountUnknownToTheUserDatabaseKeepsItsSid) {
  const uid_t stranger = 3999999901u;
  ASSERT_EQ(getpwuid(stranger), nullptr);
  const ConsoleUser user = LookUpConsoleUser(stranger);
  EXPECT_EQ(user.uid, stranger);
  EXPECT_EQ(user.sid, "S-1-22-1-3999999901");
  EXPECT_TRUE(user.name.empty());
  EXPECT_TRUE(user.home.empty());
}

TEST(ConsoleUser, OnlyAnActiveUserSessionOnSeat0Counts) {
  auto seat = std::make_shared<ScriptedSeat>();
  const LoginSeatProvider provider(seat);

  EXPECT_FALSE(provider.CurrentConsoleUser().has_value());  // nobody at the console
  EXPECT_EQ(seat->askedSeat, "seat0");

  seat->active = LoginSeatQueries::ActiveSession{"c1", 0};
  EXPECT_FALSE(provider.CurrentConsoleUser().has_value());  // session vanished: no class
  for (const char* kind : {"greeter", "lock-screen", "background", "manager", "User"}) {
    seat->classes["c1"] = kind;
    EXPECT_FALSE(provider.CurrentConsoleUser().has_value()) << kind;
  }

  seat->active = LoginSeatQueries::ActiveSession{"4", geteuid()};
  seat->classes["4"] = "user";
  const auto user = provider.CurrentConsoleUser();
  ASSERT_TRUE(user.has_value());
  EXPECT_EQ(*user, LookUpConsoleUser(geteuid()));
}

TEST(ConsoleUser, RealLogindAnswersWithoutFailing) {
  // Whatever this machine has (often no seat at all), the answer is a
  // user of class "user" or nothing.
  const auto user = LoginSeatProvider().CurrentConsoleUser();
  if (user) {
    EXPECT_EQ(user->sid, "S-1-22-1-" + std::to_string(user->uid));
  }
}

TEST(ConsoleUser, ProviderByProcessRole) {
  const auto plain = MakeConsoleUserProvider(ProcessRole::kPlainProcess);
  EXPECT_NE(dynamic_cast<ProcessUserProvider*>(plain.get()), nullptr);
  const auto service = MakeConsoleUserProvider(ProcessRole::kSystemService);
  EXPECT_NE(dynamic_cast<LoginSeatProvider*>(service.get()), nullptr);
}

TEST(ConsoleUser, FakeProviderReportsWhatTheTestSets) {
  FakeConsoleUserProvider fake;
  EXPECT_FALSE(fake.CurrentConsoleUser().has_value());
  fake.Set(LookUpConsoleUser(1234));
  EXPECT_EQ(fake.CurrentConsoleUser()->sid, "S-1-22-1-1234");
}

}  // namespace
}  // namespace quorvane::platform
