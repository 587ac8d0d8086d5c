#include "sim/RemoteControl.h"

#include <gtest/gtest.h>

namespace quorvane::sim {
namespace {

TEST(RemoteControl, EveryKeyHasItsOwnPattern) {
  for (RemoteKey a : AllRemoteKeys()) {
    for (RemoteKey b : AllRemoteKeys()) {
      if (a == b) continue;
      EXPECT_FALSE(platform::SameKey(RemoteControl::BasePattern(a), RemoteControl::BasePattern(b, true)))
          << KeyName(a) << " vs " << KeyName(b);
    }
  }
}

TEST(RemoteControl, PressesOfOneKeyDifferButAreTheSameKey) {
  RemoteControl remote(42);
  for (RemoteKey key : AllRemoteKeys()) {
    const platform::IrCode first = remote.Press(key);
    const platform::IrCode second = remote.Press(key);
    EXPECT_NE(first.durations, second.durations) << KeyName(key);  // jitter and toggle
    EXPECT_NE(first.toggle_value, second.toggle_value) << KeyName(key);
    EXPECT_TRUE(platform::SameKey(first, second)) << KeyName(key);
    EXPECT_EQ(RemoteControl::Identify(first), key);

    auto bytes = platform::EncodeIrCode(first);
    ASSERT_TRUE(bytes.ok()) << bytes.error().message;
    EXPECT_TRUE(platform::SameKey(platform::DecodeIrCode(*bytes).value(), second));
  }
}

TEST(RemoteControl, KeyNames) {
  for (RemoteKey key : AllRemoteKeys()) EXPECT_EQ(ParseKeyName(KeyName(key)), key);
  EXPECT_EQ(ParseKeyName("power"), RemoteKey::kPower);
  EXPECT_EQ(ParseKeyName("Enter"), RemoteKey::kOk);
  EXPECT_EQ(ParseKeyName("+100"), RemoteKey::kPlus100);
  EXPECT_EQ(ParseKeyName("."), RemoteKey::kDot);
  EXPECT_EQ(ParseKeyName("10"), std::nullopt);
  EXPECT_EQ(ParseKeyName(""), std::nullopt);
}

}  // namespace
}  // namespace quorvane::sim
