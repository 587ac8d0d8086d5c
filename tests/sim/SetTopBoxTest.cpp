#include "sim/SetTopBox.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <vector>

namespace quorvane::sim {
namespace {

using std::chrono::milliseconds;

const platform::MonoTime kStart = platform::MonoTime{} + std::chrono::hours(1);
platform::MonoTime At(int ms) { return kStart + milliseconds(ms); }

struct Press {
  int at_ms;
  std::optional<RemoteKey> key;  // nullopt: a code of no key
};

struct Case {
  const char* what;
  std::function<void(BoxConfig&)> configure;
  std::vector<Press> presses;
  int query_ms;
  bool power;
  const char* channel;
  const char* entry;
};

constexpr auto P = RemoteKey::kPower;
constexpr auto OK = RemoteKey::kOk;
constexpr auto H = RemoteKey::kPlus100;
constexpr auto D = RemoteKey::kDot;
RemoteKey N(int digit) { return static_cast<RemoteKey>(digit); }

auto Width(int digits, bool ok) {
  return [=](BoxConfig& c) {
    c.digits = digits;
    c.ok_required = ok;
  };
}

TEST(SetTopBox, TakesChannelNumbersAsItsConfigurationSays) {
  const std::vector<Case> cases = {
      {"7 then OK on a 3-digit box that needs OK", Width(3, true), {{0, P}, {1000, N(7)}, {1500, OK}}, 1500, true,
       "7", ""},
      {"7 without OK on a box that needs OK is dropped after the pause", Width(3, true), {{0, P}, {1000, N(7)}},
       3000, true, "1", ""},
      {"7 without OK waits for the pause", Width(3, false), {{0, P}, {1000, N(7)}}, 2999, true, "1", "7"},
      {"7 without OK tunes when the pause has passed", Width(3, false), {{0, P}, {1000, N(7)}}, 3000, true, "7",
       ""},
      {"a full-width number tunes at once", Width(3, true), {{0, P}, {1000, N(2)}, {1500, N(2)}, {2000, N(3)}},
       2000, true, "223", ""},
      {"123 as +100 2 3", [](BoxConfig& c) { c.hundred_key = true; },
       {{0, P}, {1000, H}, {1500, N(2)}, {2000, N(3)}}, 2000, true, "123", ""},
      {"+100 on a box without that key does nothing", Width(3, false),
       {{0, P}, {1000, H}, {1500, N(2)}, {2000, N(3)}}, 4000, true, "23", ""},
      {"+100 in the middle of a number is ignored", [](BoxConfig& c) { c.hundred_key = true; },
       {{0, P}, {1000, N(2)}, {1500, H}, {2000, N(3)}}, 4000, true, "23", ""},
      {"13.2 on a decimal box, settled by the pause", [](BoxConfig& c) { c.digits = 2; c.decimal = true; },
       {{0, P}, {1000, N(1)}, {1500, N(3)}, {2000, D}, {2500, N(2)}}, 4500, true, "13.2", ""},
      {"a decimal box waits for the dot after a full number",
       [](BoxConfig& c) { c.digits = 2; c.decimal = true; }, {{0, P}, {1000, N(1)}, {1500, N(3)}}, 2000, true, "1",
       "13"},
      {"13.2 on a decimal box that needs OK is dropped without OK",
       [](BoxConfig& c) { c.digits = 2; c.decimal = true; c.ok_required = true; },
       {{0, P}, {1000, N(1)}, {1500, N(3)}, {2000, D}, {2500, N(2)}}, 4500, true, "1", ""},
      {"13.2 then OK", [](BoxConfig& c) { c.digits = 2; c.decimal = true; c.ok_required = true; },
       {{0, P}, {1000, N(1)}, {1500, N(3)}, {2000, D}, {2500, N(2)}, {3000, OK}}, 3000, true, "13.2", ""},
      {"105.1 with +100 on a decimal box", [](BoxConfig& c) { c.hundred_key = true; c.decimal = true; },
       {{0, P}, {1000, H}, {1500, N(0)}, {2000, N(5)}, {2500, D}, {3000, N(1)}}, 5000, true, "105.1", ""},
      {"the dot on a box without decimal channels", Width(2, false),
       {{0, P}, {1000, N(1)}, {1500, N(3)}, {2000, D}, {2500, N(2)}}, 5000, true, "2", ""},
      {"1234 on a 2-digit box", Width(2, false), {{0, P}, {1000, N(1)}, {1500, N(2)}, {2000, N(3)}, {2500, N(4)}},
       2500, true, "34", ""},
      {"a key closer than the shortest gap is missed", Width(2, false),
       {{0, P}, {1000, N(1)}, {1100, N(2)}, {1200, N(3)}}, 1200, true, "13", ""},
      {"a pause longer than the box waits splits the number", Width(3, false),
       {{0, P}, {1000, N(1)}, {3500, N(2)}}, 6000, true, "2", ""},
      {"keys to a box that is off do nothing", Width(3, true), {{0, N(7)}, {500, OK}}, 3000, false, "1", ""},
      {"power sent to a box that is on switches it off", Width(3, true),
       {{0, P}, {1000, P}, {2000, N(2)}, {2500, N(2)}, {3000, N(3)}}, 5000, false, "1", ""},
      {"power on keeps the last channel", Width(2, false),
       {{0, P}, {1000, N(1)}, {1500, N(3)}, {2000, P}, {3000, P}}, 3000, true, "13", ""},
      {"keys during the start-up time are ignored", [](BoxConfig& c) { c.digits = 2; c.boot_ms = 3000; },
       {{0, P}, {1000, N(7)}, {3000, N(4)}, {3500, N(2)}}, 3500, true, "42", ""},
      {"a code of no key counts as received", Width(2, false),
       {{0, P}, {1000, std::nullopt}, {1100, N(4)}, {1300, N(2)}}, 1300, true, "1", "2"},
      {"leading zeros are dropped", Width(2, false), {{0, P}, {1000, N(0)}, {1500, N(7)}}, 1500, true, "7", ""},
      {"channel 0 is refused", Width(2, false), {{0, P}, {1000, N(0)}, {1500, N(0)}}, 1500, true, "1", ""},
  };
  for (const Case& c : cases) {
    BoxConfig config;
    c.configure(config);
    SetTopBox box(config);
    for (const Press& p : c.presses) box.Receive(p.key, At(p.at_ms));
    box.Settle(At(c.query_ms));
    EXPECT_EQ(box.IsOn(), c.power) << c.what;
    EXPECT_EQ(box.Channel(), c.channel) << c.what;
    EXPECT_EQ(box.PendingEntry(), c.entry) << c.what;
  }
}

TEST(SetTopBox, LogsWhatItReceivedWithTimes) {
  BoxConfig config;
  config.ok_required = true;
  SetTopBox box(config);
  box.Receive(N(5), At(0));
  box.Receive(P, At(10));
  box.Receive(N(7), At(100));
  box.Receive(N(7), At(500));
  box.Settle(At(10000));

  const auto& log = box.Log();
  ASSERT_EQ(log.size(), 5u);
  EXPECT_EQ(log[0].effect, "ignored: the box is off");
  EXPECT_EQ(log[1].key, "POWER");
  EXPECT_EQ(log[1].effect, "power on, channel 1");
  EXPECT_EQ(log[2].effect, "missed: 90 ms after the previous key");
  EXPECT_EQ(log[3].at, At(500));
  EXPECT_EQ(log[3].effect, "entry 7");
  EXPECT_EQ(log[4].key, "(pause)");
  EXPECT_EQ(log[4].at, At(2500));  // when the pause ended, not when asked
  EXPECT_EQ(log[4].effect, "dropped 7: OK was needed, stays on 1");
}

TEST(SetTopBox, PictureOnlyOnceStarted) {
  BoxConfig config;
  config.boot_ms = 3000;
  SetTopBox box(config);
  EXPECT_FALSE(box.ShowsPicture(At(0)));
  box.Receive(P, At(0));
  EXPECT_FALSE(box.ShowsPicture(At(2999)));
  EXPECT_TRUE(box.ShowsPicture(At(3000)));
}

TEST(SetTopBox, SetChannelChecksTheText) {
  SetTopBox box;
  EXPECT_TRUE(box.SetChannel("013.02").ok());
  EXPECT_EQ(box.Channel(), "13.2");
  for (const char* bad : {"", "abc", "1.", ".2", "1.2.3", "123456", "0", "7.1234"}) {
    EXPECT_FALSE(box.SetChannel(bad).ok()) << bad;
  }
  EXPECT_EQ(box.Channel(), "13.2");
}

}  // namespace
}  // namespace quorvane::sim
