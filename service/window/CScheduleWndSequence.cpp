// The window's handling of the monitor's and the timers' messages: the
// recording sequence (switch the box on, tune it, start the recording
// program) and the after-record power actions, carried out by
// RecordingSequence and PowerManager on the window's thread.

#include <optional>

#include "common/settings/SettingsStore.h"
#include "platform/capture/CaptureApi.h"
#include "platform/capture/CaptureDeviceFinder.h"
#include "platform/capture/ComPtr.h"
#include "platform/session/ConsoleLauncher.h"
#include "platform/session/SessionMessage.h"
#include "service/box/BoxControl.h"
#include "service/power/AwakeFallbackWakeTimers.h"
#include "service/power/LogindPowerSystem.h"
#include "service/power/PowerManager.h"
#include "service/recording/RecordingSequence.h"
#include "service/window/CScheduleWnd.h"

namespace TESKTV::SERVICE {

namespace platform = quorvane::platform;
using SCHEDULE::ScheduleProgram;

struct CScheduleWnd::Recording final : RecordingWindow {
  explicit Recording(CScheduleWnd& owner)
      : window(owner),
        box(owner.loop_.clock(), owner.log_, owner.consoleUsers_, messenger, quorvane::SettingsStore(owner.registry_)),
        ownWakeTimers(owner.wakeTimers_ == nullptr ? std::make_unique<ServiceWakeTimers>(owner.log_) : nullptr),
        givenWakeTimers(owner.wakeTimers_ != nullptr
                            ? std::make_unique<AwakeFallbackWakeTimers>(*owner.wakeTimers_, owner.log_)
                            : nullptr),
        power(owner.loop_),
        sequence(*this, owner.loop_.clock(), owner.log_, owner.registry_, owner.consoleUsers_, launcher),
        manager(ManagerDependencies(owner), ManagerHooks(owner)) {
    boxState.settings = owner.settings_.box;
    if (!power.Connected()) {
      owner.log_.Printf("[Wakeward][CScheduleWnd][DoPowerBroadcast] %s", power.ConnectError().c_str());
    }
    manager.Start();
  }

  PowerManager::Dependencies ManagerDependencies(CScheduleWnd& owner) {
    PowerManager::Dependencies deps;
    deps.loop = &owner.loop_;
    deps.window = &owner.poster_;
    deps.timerOwner = owner.TimerOwner();
    deps.log = &owner.log_;
    deps.wakeTimers = ownWakeTimers ? static_cast<platform::WakeTimerFactory*>(ownWakeTimers.get())
                                    : static_cast<platform::WakeTimerFactory*>(givenWakeTimers.get());
    // Without logind there is nothing to ask; that is logged once.
    deps.power = power.Connected() ? &power : nullptr;
    deps.wakeSetting = &wakeSetting;
    deps.consoleUsers = &owner.consoleUsers_;
    deps.countDownSec = owner.settings_.countDownSec;
    return deps;
  }

  static PowerManager::Hooks ManagerHooks(CScheduleWnd& owner) {
    PowerManager::Hooks hooks;
    hooks.nearestTime = [&owner]() -> std::optional<std::int64_t> {
      if (!owner.monitor_) return std::nullopt;
      return owner.monitor_->NearestTime();
    };
    hooks.invokeRemainTime = [&owner](std::int32_t category, std::int32_t seconds) {
      owner.InvokeRemainTimeOnControl(category, seconds);
    };
    hooks.invokeCloseAP = [&owner] { owner.InvokeCloseAPOnControl(); };
    return hooks;
  }

  // RecordingWindow
  bool InitializeBox(const ScheduleProgram& record) override {
    boxState.deviceOccupied = false;
    box.InitializeBox(boxState, record.GetInSource(), record.GetMajorCh(), record.GetMinorCh(), record.GetDeviceNum());
    return boxState.deviceOccupied;
  }
  bool StoreRecord(const ScheduleProgram& record) override {
    const SCHEDULE_PROGRAM_BOX stored = record.ToBox();
    std::int32_t nErr = 0;
    return window.UpdateScheduleProgram2(&stored, true, &nErr);
  }
  std::optional<bool> IsDeviceOccupied(int devicenum) override {
    platform::CaptureDeviceFinder finder;
    if (platform::Failed(finder.Select(devicenum + 1))) return std::nullopt;
    platform::ComPtr<platform::ITeskUSBHDAPI> api;
    if (platform::Failed(platform::CreateCaptureApi(finder.Filter(), api.Put()))) return std::nullopt;
    if (platform::Failed(api->Init(finder.Filter()))) return std::nullopt;
    std::int32_t occupied = 0;
    if (platform::Failed(api->IsDeviceOccupied(&occupied))) return false;
    return occupied != 0;
  }
  bool HasApControl() const override { return window.apControl_ != nullptr; }
  void ActiveScheduleProgram(const ScheduleProgram& record) override { window.ActiveScheduleProgram(record); }
  void StartWaitTimer() override {
    window.loop_.SetTimer(platform::EventLoop::TimerKey{window.TimerOwner(), kWaitForRecordTimerId},
                          std::chrono::milliseconds(1000), [this] { window.OnTimer(kWaitForRecordTimerId); });
  }
  void KillWaitTimer() override {
    window.loop_.KillTimer(platform::EventLoop::TimerKey{window.TimerOwner(), kWaitForRecordTimerId});
  }
  void SetSleepTime(std::int32_t category, std::int32_t seconds) override { manager.SetSleepTime(category, seconds); }
  void RecordingStarted(std::int64_t end) override { manager.RecordingRunsUntil(end); }

  CScheduleWnd& window;
  platform::NotificationMessenger messenger;
  BoxControl box;
  BoxWindowState boxState;
  platform::ConsoleSessionLauncher launcher;
  std::unique_ptr<ServiceWakeTimers> ownWakeTimers;
  std::unique_ptr<AwakeFallbackWakeTimers> givenWakeTimers;
  LogindPowerSystem power;
  RtcWakeSetting wakeSetting;
  RecordingSequence sequence;
  PowerManager manager;
};

void CScheduleWnd::RecordingDeleter::operator()(Recording* recording) const { delete recording; }

std::unique_ptr<CScheduleWnd::Recording, CScheduleWnd::RecordingDeleter> CScheduleWnd::MakeRecording() {
  return std::unique_ptr<Recording, RecordingDeleter>(new Recording(*this));
}

PowerManager& CScheduleWnd::Power() { return recording_->manager; }

void CScheduleWnd::OnActiveAP(const std::shared_ptr<const SCHEDULE::ScheduleProgram>& record) {
  if (!record) return;
  recording_->sequence.OnActiveAP(*record);
}

void CScheduleWnd::OnActiveSchedule(const std::shared_ptr<const SCHEDULE::ScheduleProgram>& record) {
  if (!record) {
    log_.Write("[Wakeward][CScheduleWnd][WindowProc] TESK_ACTIVE_SCHEDULE: event");
    return;
  }
  recording_->sequence.OnActiveSchedule(*record);
}

void CScheduleWnd::OnTimerMessage(TimerKind kind) { recording_->manager.OnTimerMessage(kind); }

void CScheduleWnd::OnTimer(std::uint64_t id) {
  switch (id) {
    case kWaitForRecordTimerId:
      recording_->sequence.OnWaitTimer();
      return;
    case kCountdownTimerId:
      recording_->manager.OnCountdownTick();
      return;
    default:
      log_.Write("[Wakeward][CScheduleWnd][OnTimer] Entry");
      loop_.KillTimer(quorvane::platform::EventLoop::TimerKey{TimerOwner(), id});
      return;
  }
}

}  // namespace TESKTV::SERVICE
