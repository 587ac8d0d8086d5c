#pragma once
// The keys of the simulated set-top box's remote control.

#include <optional>
#include <span>
#include <string_view>

namespace quorvane::sim {

enum class RemoteKey {
  k0, k1, k2, k3, k4, k5, k6, k7, k8, k9,
  kOk, kPower, kPlus100, kDot,
  kMenu, kExit, kGuide, kInfo, kMute,
};

std::span<const RemoteKey> AllRemoteKeys();

// "0".."9", "OK", "POWER", "PLUS100", "DOT", "MENU", "EXIT", "GUIDE",
// "INFO", "MUTE".
std::string_view KeyName(RemoteKey key);

// The names above in any case, and "ENTER", "+100", "100", "." as aliases.
std::optional<RemoteKey> ParseKeyName(std::string_view name);

// 0..9 for the digit keys.
std::optional<int> DigitOf(RemoteKey key);

}  // namespace quorvane::sim
