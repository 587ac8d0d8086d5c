#include "service/window/WindowSettings.h"

#include "common/settings/SettingsStore.h"

namespace TESKTV::SERVICE {

WindowSettings WindowSettings::Read(const quorvane::platform::RegistryLocations& locations, ServiceLog& log) {
  const quorvane::SettingsStore store(locations);
  const auto read = [&](const char* name) { return store.ReadDword(quorvane::Hive::LocalMachine, kQuorvaneKey, name); };
  WindowSettings settings;
  if (auto v = read("PowerWaitTime"); v && *v >= 1 && *v <= 59999) {
    settings.box.powerWaitTimeMs = *v;
    log.Printf("[Wakeward][CScheduleWnd] set power waiting time %u", *v);
  }
  if (auto v = read("CountDownSec"); v && *v >= 1 && *v <= 119) {
    settings.countDownSec = *v;
    log.Printf("[Wakeward][CScheduleWnd] set CountDown sec %u", *v);
  }
  if (auto v = read("StartRecSec"); v && *v < 120000) {
    settings.startRecSec = *v;
    log.Printf("[Wakeward][CScheduleWnd] set StartRecSec %u", *v);
  }
  if (auto v = read("DetectSignalLoop"); v && *v < 10) {
    settings.box.detectSignalLoop = *v;
    log.Printf("[Wakeward][CScheduleWnd] loop time %u", *v);
  }
  return settings;
}

}  // namespace TESKTV::SERVICE
