#include "sim/RemoteKey.h"

#include <array>
#include <cctype>
#include <string>

namespace quorvane::sim {
namespace {

constexpr std::array kKeys = {
    RemoteKey::k0,   RemoteKey::k1,   RemoteKey::k2,     RemoteKey::k3,     RemoteKey::k4,
    RemoteKey::k5,   RemoteKey::k6,   RemoteKey::k7,     RemoteKey::k8,     RemoteKey::k9,
    RemoteKey::kOk,  RemoteKey::kPower, RemoteKey::kPlus100, RemoteKey::kDot, RemoteKey::kMenu,
    RemoteKey::kExit, RemoteKey::kGuide, RemoteKey::kInfo, RemoteKey::kMute,
};

constexpr std::array<std::string_view, kKeys.size()> kNames = {
    "0", "1", "2", "3", "4", "5", "6", "7", "8", "9",
    "OK", "POWER", "PLUS100", "DOT", "MENU", "EXIT", "GUIDE", "INFO", "MUTE",
};

}  // namespace

std::span<const RemoteKey> AllRemoteKeys() { return kKeys; }

std::string_view KeyName(RemoteKey key) { return kNames[static_cast<std::size_t>(key)]; }

std::optional<RemoteKey> ParseKeyName(std::string_view name) {
  std::string upper;
  for (unsigned char c : name) upper += char(std::toupper(c));
  if (upper == "ENTER") return RemoteKey::kOk;
  if (upper == "+100" || upper == "100") return RemoteKey::kPlus100;
  if (upper == ".") return RemoteKey::kDot;
  for (std::size_t i = 0; i < kNames.size(); ++i) {
    if (upper == kNames[i]) return kKeys[i];
  }
  return std::nullopt;
}

std::optional<int> DigitOf(RemoteKey key) {
  const int index = static_cast<int>(key);
  if (index >= 0 && index <= 9) return index;
  return std::nullopt;
}

}  // namespace quorvane::sim
