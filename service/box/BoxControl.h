#pragma once
// Switching the set-top box on and tuning it before a recording: reads the
// console user's current device entry and key file, turns the channel into
// IR keys and drives the capture device's component. It runs on the
// service window's thread and blocks it while it waits (the input switch,
// the box's power-up, the pause between keys); every wait is on the clock.
// Nothing is kept between two recordings.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/keydb/KeyFile.h"
#include "common/settings/SettingsStore.h"
#include "platform/capture/CaptureApi.h"
#include "platform/capture/ComPtr.h"
#include "platform/clock/Clock.h"
#include "platform/session/ConsoleUser.h"
#include "platform/session/SessionMessage.h"
#include "service/box/KeySequence.h"
#include "service/log/ServiceLog.h"

namespace TESKTV::SERVICE {

// The service window's settings for box control (HKEY_LOCAL_MACHINE
// "SOFTWARE\Quorvane", read and range-checked by the window).
struct BoxSettings {
  std::uint32_t powerWaitTimeMs = 10000;  // "PowerWaitTime": pause after the power key
  std::uint32_t detectSignalLoop = 3;     // "DetectSignalLoop": attempts to switch the box on
};

// What box control shares with the service window: its settings, and the
// device-occupied flag it sets for the recording sequence, which clears it.
struct BoxWindowState {
  BoxSettings settings;
  bool deviceOccupied = false;
};

class BoxControl {
 public:
  static constexpr std::chrono::milliseconds kDefaultInterval{500};
  static constexpr std::chrono::milliseconds kInputSettleTime{1000};
  // A longer "IntervalSpeed" is taken as this, so that a damaged entry
  // cannot hold the window thread for hours.
  static constexpr std::chrono::milliseconds kLongestInterval{60000};
  static constexpr std::size_t kDeviceNameChars = 129;
  static constexpr std::chrono::seconds kConflictMessageTimeout{15};
  static constexpr const char* kConflictTitle = "Velmora Scheduler";
  static constexpr const char* kConflictText =
      "Device use conflicts!\n"
      "Velmora Scheduler scheduled recording is about to begin, but the selected device is currently occupied by "
      "other video capture application (Such as ArcSoft TotalMedia Extreme or Windows Media Center).\n"
      "To activate scheduled recording successfully, please end the specific application occupying the device "
      "first.";
  static constexpr const char* kPrivilegeText = "Can't run by user privilege";
  static constexpr const char* kPrivilegeTitle = "TeskIrWakeward";

  // Everything given must outlive the object. `store` reaches the console
  // user's tree through HKEY_USERS.
  BoxControl(quorvane::platform::Clock& clock, ServiceLog& log,
             const quorvane::platform::ConsoleUserProvider& consoleUsers,
             quorvane::platform::SessionMessenger& messenger, quorvane::SettingsStore store);

  // Switches the box to the schedule's channel on capture device
  // `devicenum` (0-based) and its video input `insource`. Always 0: the
  // recording goes on whatever happened here.
  int InitializeBox(BoxWindowState& window, int insource, std::string_view majorChannel,
                    std::string_view minorChannel, int devicenum);

  // Loads the current device's keys and builds the channel's key sequence;
  // whether there is a database to drive the box with.
  bool RetrieveDatabase(std::string_view majorChannel, std::string_view minorChannel);

  // The SID text of the console user; nothing when nobody is logged on.
  std::optional<std::string> GetConsoleUserSid();

  // Tells the console user that another program holds the capture device.
  void StopConflictDevice();

  // What the last RetrieveDatabase built.
  const KeyTable& keyTable() const { return table_; }
  const KeySequence& sequence() const { return sequence_; }
  std::chrono::milliseconds interval() const { return interval_; }

 private:
  // One round of IR keys: the power key (when asked) and the channel keys.
  void SendKeys(const quorvane::platform::ComPtr<quorvane::platform::ITeskUSBHDAPI>& api,
                const quorvane::platform::CaptureFilter* filter, const BoxSettings& settings, bool withPower);

  quorvane::platform::Clock& clock_;
  ServiceLog& log_;
  const quorvane::platform::ConsoleUserProvider& consoleUsers_;
  quorvane::platform::SessionMessenger& messenger_;
  quorvane::SettingsStore store_;

  KeyTable table_{};
  KeySequence sequence_;
  std::chrono::milliseconds interval_ = kDefaultInterval;
};

}  // namespace TESKTV::SERVICE
