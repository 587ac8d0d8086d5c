#include "sim/RemoteControl.h"

#include <algorithm>
#include <cmath>

namespace quorvane::sim {
namespace {

constexpr std::uint32_t kCarrierHz = 38000;
constexpr std::uint32_t kLeaderPulse = 9000;
constexpr std::uint32_t kLeaderSpace = 4500;
constexpr std::uint32_t kBitPulse = 560;
constexpr std::uint32_t kZeroSpace = 560;
constexpr std::uint32_t kOneSpace = 1690;
constexpr std::uint8_t kAddress = 0x5A;
constexpr int kJitterPerMille = 80;
// The toggle bit follows the leader (2 durations) and the address byte (16).
constexpr std::uint16_t kToggleFirst = 18;

std::uint8_t CommandOf(RemoteKey key) {
  if (auto digit = DigitOf(key)) return static_cast<std::uint8_t>(0x10 + *digit);
  switch (key) {
    case RemoteKey::kOk: return 0x20;
    case RemoteKey::kPower: return 0x0C;
    case RemoteKey::kPlus100: return 0x2A;
    case RemoteKey::kDot: return 0x2B;
    case RemoteKey::kMenu: return 0x30;
    case RemoteKey::kExit: return 0x31;
    case RemoteKey::kGuide: return 0x32;
    case RemoteKey::kInfo: return 0x33;
    case RemoteKey::kMute: return 0x34;
    default: return 0xFF;
  }
}

void AddBit(std::vector<std::uint32_t>& durations, bool one) {
  durations.push_back(kBitPulse);
  durations.push_back(one ? kOneSpace : kZeroSpace);
}

void AddByte(std::vector<std::uint32_t>& durations, std::uint8_t byte) {
  for (int bit = 0; bit < 8; ++bit) AddBit(durations, (byte >> bit) & 1);
}

}  // namespace

RemoteControl::RemoteControl(std::uint32_t seed) : random_(seed) {}

platform::IrCode RemoteControl::BasePattern(RemoteKey key, bool toggle) {
  platform::IrCode code;
  code.carrier_hz = kCarrierHz;
  code.durations = {kLeaderPulse, kLeaderSpace};
  AddByte(code.durations, kAddress);
  code.toggle_first = kToggleFirst;
  code.toggle_count = 2;
  code.toggle_value = toggle;
  AddBit(code.durations, toggle);
  const std::uint8_t command = CommandOf(key);
  AddByte(code.durations, command);
  AddByte(code.durations, static_cast<std::uint8_t>(~command));
  code.durations.push_back(kBitPulse);
  return code;
}

platform::IrCode RemoteControl::Press(RemoteKey key) {
  toggle_ = !toggle_;
  platform::IrCode code = BasePattern(key, toggle_);
  std::uniform_int_distribution<int> jitter(-kJitterPerMille, kJitterPerMille);
  for (std::uint32_t& d : code.durations) {
    const long jittered = std::lround(d * (1000.0 + jitter(random_)) / 1000.0);
    d = static_cast<std::uint32_t>(std::max(1L, jittered));
  }
  return code;
}

std::optional<RemoteKey> RemoteControl::Identify(const platform::IrCode& code) {
  for (RemoteKey key : AllRemoteKeys()) {
    if (platform::SameKey(code, BasePattern(key))) return key;
  }
  return std::nullopt;
}

}  // namespace quorvane::sim
