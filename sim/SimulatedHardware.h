#pragma once
// The simulated hardware as one thread-safe object: the Q311 USB capture
// device (video inputs, occupied flag, IR sensor and blaster), the set-top
// box wired to one of its inputs, and the box's remote control. All time
// comes from the clock given at construction.

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/capture/SimulatedDevicePort.h"
#include "platform/clock/Clock.h"
#include "sim/RemoteControl.h"
#include "sim/SetTopBox.h"

namespace quorvane::sim {

inline constexpr const char* kSimulatedFriendlyName = "Q311 USB Video Capture (simulated)";
inline constexpr const char* kSimulatedDisplayName =
    "@device:pnp:\\\\?\\usb#vid_0000&pid_0311&mi_00#Q311SIM&0#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global";
// DetectInputVideoFmt's format while a picture is locked (NTSC 720x480).
inline constexpr std::int32_t kLockedVideoFormat = 1;

// Where a remote press is aimed.
enum class Aim { kSensor, kBox, kBoth };

enum class SensorState { kIdle, kWaiting, kHolding };

struct HardwareStatus {
  bool power = false;
  bool starting = false;  // on, but still in its start-up time
  std::string channel;
  std::string entry;  // number being typed
  BoxConfig config;
  int selected_input = 1;
  bool signal = false;
  bool occupied = false;
  SensorState sensor = SensorState::kIdle;
  std::string held_key;  // the key whose code the sensor holds
  struct LogLine {
    long at_ms;  // since the simulator started or was reset
    std::string key;
    std::string effect;
  };
  std::vector<LogLine> received;
};

struct PressResult {
  platform::IrCodeBytes code{};
  bool caught = false;  // the armed sensor took this press
};

class SimulatedHardware {
 public:
  SimulatedHardware(const platform::Clock& clock, std::uint32_t seed);

  platform::SimulatedDeviceIdentity Identity() const;

  // The capture device.
  platform::Status SelectInput(int input);
  platform::VideoSignal DetectSignal();
  bool Occupied();
  void SetOccupied(bool occupied);
  platform::Status StartLearning();
  std::optional<platform::IrCodeBytes> TakeLearnedCode();
  // The blaster: the box receives the code now. Returns the key the code
  // is (nullopt: no key of the remote); fails for bytes that are no IR code.
  platform::Result<std::optional<RemoteKey>> Blast(const platform::IrCodeBytes& code);

  // A person presses a key of the remote.
  PressResult Press(RemoteKey key, Aim aim);

  // All-or-nothing: the box settings of SetBoxSetting plus power=on|off and
  // channel=<n[.m]>.
  platform::Status Configure(const std::vector<std::pair<std::string, std::string>>& settings);
  // Back to the state at start: default configuration, box off on channel 1,
  // input 1, not occupied, sensor idle, empty log.
  void Reset();

  HardwareStatus Status();

 private:
  const platform::Clock& clock_;
  std::mutex mutex_;
  std::uint32_t seed_;
  platform::MonoTime origin_;
  RemoteControl remote_;
  SetTopBox box_;
  int selected_input_ = 1;
  bool occupied_ = false;
  SensorState sensor_ = SensorState::kIdle;
  std::optional<platform::IrCodeBytes> held_code_;
  std::string held_key_;
};

}  // namespace quorvane::sim
