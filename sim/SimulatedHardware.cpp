#include "sim/SimulatedHardware.h"

#include <chrono>

namespace quorvane::sim {

SimulatedHardware::SimulatedHardware(const platform::Clock& clock, std::uint32_t seed)
    : clock_(clock), seed_(seed), origin_(clock.Mono()), remote_(seed) {}

platform::SimulatedDeviceIdentity SimulatedHardware::Identity() const {
  return {kSimulatedFriendlyName, kSimulatedDisplayName, kCaptureInputCount};
}

platform::Status SimulatedHardware::SelectInput(int input) {
  if (input < 1 || input > kCaptureInputCount) {
    return platform::MakeError("input " + std::to_string(input) + " does not exist (1.." +
                               std::to_string(kCaptureInputCount) + ")");
  }
  std::lock_guard lock(mutex_);
  selected_input_ = input;
  return platform::Status::Ok();
}

platform::VideoSignal SimulatedHardware::DetectSignal() {
  std::lock_guard lock(mutex_);
  const auto now = clock_.Mono();
  box_.Settle(now);
  const bool locked = box_.ShowsPicture(now) && selected_input_ == box_.Config().input;
  return {locked, locked ? kLockedVideoFormat : 0};
}

bool SimulatedHardware::Occupied() {
  std::lock_guard lock(mutex_);
  return occupied_;
}

void SimulatedHardware::SetOccupied(bool occupied) {
  std::lock_guard lock(mutex_);
  occupied_ = occupied;
}

platform::Status SimulatedHardware::StartLearning() {
  std::lock_guard lock(mutex_);
  if (occupied_) return platform::MakeError("the device is occupied by another application");
  sensor_ = SensorState::kWaiting;
  held_code_.reset();
  held_key_.clear();
  return platform::Status::Ok();
}

std::optional<platform::IrCodeBytes> SimulatedHardware::TakeLearnedCode() {
  std::lock_guard lock(mutex_);
  if (sensor_ != SensorState::kHolding) return std::nullopt;
  sensor_ = SensorState::kIdle;
  held_key_.clear();
  return std::exchange(held_code_, std::nullopt);
}

platform::Result<std::optional<RemoteKey>> SimulatedHardware::Blast(const platform::IrCodeBytes& code) {
  auto decoded = platform::DecodeIrCode(code);
  if (!decoded.ok()) return decoded.error();
  const std::optional<RemoteKey> key = RemoteControl::Identify(*decoded);
  std::lock_guard lock(mutex_);
  box_.Receive(key, clock_.Mono());
  return key;
}

PressResult SimulatedHardware::Press(RemoteKey key, Aim aim) {
  std::lock_guard lock(mutex_);
  PressResult result;
  // Encoding cannot fail: the remote's frames are within the format's bounds.
  result.code = platform::EncodeIrCode(remote_.Press(key)).value();
  if (aim != Aim::kBox && sensor_ == SensorState::kWaiting) {
    sensor_ = SensorState::kHolding;
    held_code_ = result.code;
    held_key_ = std::string(KeyName(key));
    result.caught = true;
  }
  if (aim != Aim::kSensor) box_.Receive(key, clock_.Mono());
  return result;
}

platform::Status SimulatedHardware::Configure(const std::vector<std::pair<std::string, std::string>>& settings) {
  std::lock_guard lock(mutex_);
  const auto now = clock_.Mono();
  box_.Settle(now);
  BoxConfig config = box_.Config();
  std::optional<bool> power;
  std::optional<std::string> channel;
  for (const auto& [key, value] : settings) {
    if (key == "power") {
      if (value != "on" && value != "off") return platform::MakeError("power=" + value + ": expected on or off");
      power = value == "on";
    } else if (key == "channel") {
      SetTopBox probe;
      if (auto s = probe.SetChannel(value); !s) return s;
      channel = value;
    } else if (auto s = SetBoxSetting(config, key, value); !s) {
      return s;
    }
  }
  box_.SetConfig(config);
  if (channel) (void)box_.SetChannel(*channel);
  if (power && *power != box_.IsOn()) box_.SetPower(*power, now);
  return platform::Status::Ok();
}

void SimulatedHardware::Reset() {
  std::lock_guard lock(mutex_);
  origin_ = clock_.Mono();
  remote_ = RemoteControl(seed_);
  box_ = SetTopBox();
  selected_input_ = 1;
  occupied_ = false;
  sensor_ = SensorState::kIdle;
  held_code_.reset();
  held_key_.clear();
}

HardwareStatus SimulatedHardware::Status() {
  std::lock_guard lock(mutex_);
  const auto now = clock_.Mono();
  box_.Settle(now);
  HardwareStatus status;
  status.power = box_.IsOn();
  status.starting = box_.IsOn() && !box_.ShowsPicture(now);
  status.channel = box_.Channel();
  status.entry = box_.PendingEntry();
  status.config = box_.Config();
  status.selected_input = selected_input_;
  status.signal = box_.ShowsPicture(now) && selected_input_ == box_.Config().input;
  status.occupied = occupied_;
  status.sensor = sensor_;
  status.held_key = held_key_;
  for (const ReceivedKey& line : box_.Log()) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(line.at - origin_).count();
    status.received.push_back({static_cast<long>(ms), line.key, line.effect});
  }
  return status;
}

}  // namespace quorvane::sim
