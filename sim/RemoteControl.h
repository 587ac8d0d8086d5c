#pragma once
// The set-top box's remote control. Each key sends a pulse-distance frame
// (leader, address byte, toggle bit, command byte, inverted command byte,
// stop pulse) on a 38 kHz carrier; every press jitters each duration by up
// to +/-8 % and flips the toggle bit, as a real remote's presses differ.

#include <cstdint>
#include <optional>
#include <random>

#include "platform/capture/IrCode.h"
#include "sim/RemoteKey.h"

namespace quorvane::sim {

class RemoteControl {
 public:
  explicit RemoteControl(std::uint32_t seed);

  // The code one press of the key gives the sensor.
  platform::IrCode Press(RemoteKey key);

  // The key's frame without jitter.
  static platform::IrCode BasePattern(RemoteKey key, bool toggle = false);
  // Which key of this remote a received code is, by the same-key rule.
  static std::optional<RemoteKey> Identify(const platform::IrCode& code);

 private:
  std::mt19937 random_;
  bool toggle_ = false;
};

}  // namespace quorvane::sim
