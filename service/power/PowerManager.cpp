#include "service/power/PowerManager.h"

#include <chrono>

namespace TESKTV::SERVICE {

namespace platform = quorvane::platform;

PowerManager::PowerManager(Dependencies deps, Hooks hooks)
    : deps_(deps), hooks_(std::move(hooks)), log_(*deps.log), countdown_(static_cast<std::int32_t>(deps.countDownSec)) {}

PowerManager::~PowerManager() {
  deps_.loop->KillTimer(Key(kCountdownTimerId));
  deps_.loop->KillTimer(Key(kSleepGateTimerId));
  deps_.loop->KillTimer(Key(kSleepDelayTimerId));
  sleepTimer_.reset();
  startApTimer_.reset();
  wakeUpTimer_.reset();
  if (deps_.power != nullptr) {
    deps_.power->OnPrepareForSleep({});
    (void)deps_.power->HoldSleepBlock(false);
    (void)deps_.power->HoldSleepDelay(false);
  }
}

std::int64_t PowerManager::Now() const {
  return std::chrono::floor<std::chrono::seconds>(deps_.loop->clock().Wall().time_since_epoch()).count();
}

void PowerManager::Start() {
  if (deps_.power != nullptr) {
    deps_.power->OnPrepareForSleep([this](bool start) { OnPrepareForSleep(start); });
    if (platform::Status held = deps_.power->HoldSleepDelay(true); !held) {
      log_.Printf("[Wakeward][CScheduleWnd][DoPowerBroadcast] no delay lock: %s", held.error().message.c_str());
    }
  }
  deps_.loop->SetTimer(Key(kSleepGateTimerId), kSleepGateCheck, [this] { RefreshSleepBlock(); });
  RefreshSleepBlock();
}

CTeskTimer* PowerManager::CreateTimer(std::int32_t kind, std::int64_t seconds) {
  log_.Write("[Wakeward][CScheduleWnd][CreateTimer] Entry");
  const std::optional<TimerKind> timerKind = TimerKindOf(kind);
  if (!timerKind) return nullptr;
  std::unique_ptr<CTeskTimer>* slot = &sleepTimer_;
  if (*timerKind == TimerKind::kStartAP) {
    slot = &startApTimer_;
  } else if (*timerKind == TimerKind::kWakeUp) {
    if (deps_.newerSystem) AllowWakeTimers();
    slot = &wakeUpTimer_;
  }
  slot->reset();
  if (deps_.wakeTimers == nullptr) {
    log_.Write("[Wakeward][CScheduleWnd][CreateTimer] no wake timers on this system");
    return nullptr;
  }
  *slot = std::make_unique<CTeskTimer>(*timerKind, seconds, *deps_.window, *deps_.wakeTimers, deps_.loop->clock(), log_);
  return slot->get();
}

void PowerManager::AllowWakeTimers() {
  if (deps_.wakeSetting == nullptr) return;
  const platform::Result<bool> allowed = deps_.wakeSetting->Read();
  if (allowed && *allowed) return;
  if (deps_.wakeSetting->AllowForSleep()) {
    log_.Write("[Wakeward][CScheduleWnd][CreateTimer] AC wakeup Enable OK! ");
  } else {
    log_.Write("[Wakeward][CScheduleWnd][CreateTimer] AC wakeup Enable Fail! ");
  }
}

void PowerManager::RestoreWakeTimers() {
  if (deps_.wakeSetting == nullptr || !deps_.wakeSetting->ChangedBySelf()) return;
  if (deps_.wakeSetting->Restore()) {
    log_.Write("[Wakeward][CScheduleWnd][DoPowerBroadcast] AC wakeup Disable OK! ");
  } else {
    log_.Write("[Wakeward][CScheduleWnd][DoPowerBroadcast] AC wakeup Disable Fail! ");
  }
}

void PowerManager::SetSleepTime(std::int32_t category, std::int32_t seconds) {
  log_.Printf("[Wakeward][CScheduleWnd][SetSleepTime] Entry : lCategory = %x", static_cast<unsigned>(category));
  deps_.loop->KillTimer(Key(kCountdownTimerId));
  sleepTimer_.reset();
  pendingCategory_ = category;
  const auto countDown = static_cast<std::int32_t>(deps_.countDownSec);
  countdown_ = countDown;
  countdownFirst_ = seconds >= countDown;
  CreateTimer(category, countdownFirst_ ? seconds - countDown : seconds);
}

void PowerManager::CancelSleepTime() {
  log_.Write("[Wakeward][CScheduleWnd][CancelSleepTime] Entry");
  deps_.loop->KillTimer(Key(kCountdownTimerId));
  sleepTimer_.reset();
  countdownFirst_ = false;
  countdown_ = static_cast<std::int32_t>(deps_.countDownSec);
}

SleepTime PowerManager::GetSleepTime() {
  log_.Printf("[Wakeward][CScheduleWnd][GetSleepTime] Entry : lCategory = %x", static_cast<unsigned>(pendingCategory_));
  SleepTime reply;
  if (!sleepTimer_) return reply;
  switch (sleepTimer_->Message()) {
    case TESK_SLEEP_HIBERNATE:
      reply.category = 1;
      break;
    case TESK_SLEEP_LOGOFF:
      reply.category = 2;
      break;
    case TESK_SLEEP_SHUTDOWN:
      reply.category = 3;
      break;
    default:
      reply.category = 0;
      break;
  }
  // The countdown before the action always counts as one minute here.
  reply.seconds = static_cast<std::int32_t>(sleepTimer_->RemainingSeconds() + (countdownFirst_ ? 60 : 0));
  return reply;
}

NearestSchedule PowerManager::HasScheduleRightNow(std::int64_t windowSeconds) {
  log_.Write("[Wakeward][CScheduleWnd][HasScheduleRightNow] Entry");
  NearestSchedule result;
  const std::optional<std::int64_t> nearest = hooks_.nearestTime ? hooks_.nearestTime() : std::nullopt;
  if (!nearest || *nearest == 0) return result;
  const std::int64_t now = Now();
  result.secondsAhead = *nearest - now;
  result.rightNow = *nearest <= now + windowSeconds;
  return result;
}

bool PowerManager::ArmWakeUpForNextSchedule(bool armNowWhenDue) {
  const NearestSchedule nearest = HasScheduleRightNow(kRefuseWithinSeconds);
  if (nearest.rightNow) {
    if (armNowWhenDue) CreateTimer(static_cast<std::int32_t>(TimerKind::kWakeUp), 0);
    return true;
  }
  if (!nearest.secondsAhead) {
    // Nothing to wake for; an old wake-up would only wake the PC in vain.
    log_.Write("[Wakeward][CScheduleWnd][CreateTimer] no schedule ahead, no wake-up");
    wakeUpTimer_.reset();
    return false;
  }
  CreateTimer(static_cast<std::int32_t>(TimerKind::kWakeUp), *nearest.secondsAhead - kWakeAheadSeconds);
  return false;
}

std::optional<platform::WallTime> PowerManager::WakeUpDue() const {
  if (!wakeUpTimer_ || wakeUpTimer_->HasEnded()) return std::nullopt;
  return platform::WallTime(std::chrono::seconds(wakeUpTimer_->DueTime()));
}

void PowerManager::NotifyRemainProc() {
  log_.Write("[Wakeward][CScheduleWnd][NotifyRemainProc] Entry");
  log_.Write("[Wakeward][CScheduleWnd][NotifyRemainProc] going to do s3/s4/s5 ...");
  if (deps_.newerSystem) (void)ArmWakeUpForNextSchedule(true);
  PerformPending();
  countdownFirst_ = false;
}

void PowerManager::PerformPending() {
  switch (pendingCategory_) {
    case 0:
      RunExitWindows(false);
      break;
    case 1:
      RunExitWindows(true);
      break;
    case 2:
      ActiveLogoff();
      break;
    case 3:
      ShutDown();
      break;
    case 4:
      if (hooks_.invokeCloseAP) hooks_.invokeCloseAP();
      break;
    default:
      break;
  }
}

void PowerManager::RunExitWindows(bool hibernate) {
  log_.Write("[Wakeward][CScheduleWnd][RunExitWindows] Entry");
  if (deps_.power == nullptr) return;
  // The action was asked for; the service's own lock must not refuse it.
  (void)deps_.power->HoldSleepBlock(false);
  blockHeld_ = false;
  platform::Status done;
  if (hibernate) {
    if (const auto due = WakeUpDue()) {
      if (platform::Status alarm = deps_.power->ProgramFirmwareAlarm(due); !alarm) {
        log_.Printf("[Wakeward][CScheduleWnd][RunExitWindows] %s", alarm.error().message.c_str());
      }
    }
    done = deps_.power->Hibernate();
  } else {
    done = deps_.power->Suspend();
  }
  if (!done) log_.Printf("[Wakeward][CScheduleWnd][RunExitWindows] %s", done.error().message.c_str());
}

void PowerManager::ShutDown() {
  log_.Write("[Wakeward][CScheduleWnd][ShutDown] Entry");
  if (deps_.power == nullptr) return;
  (void)deps_.power->HoldSleepBlock(false);
  blockHeld_ = false;
  if (const auto due = WakeUpDue()) {
    if (platform::Status alarm = deps_.power->ProgramFirmwareAlarm(due); !alarm) {
      log_.Printf("[Wakeward][CScheduleWnd][ShutDown] %s", alarm.error().message.c_str());
    }
  }
  if (platform::Status done = deps_.power->PowerOff(); !done) {
    log_.Printf("[Wakeward][CScheduleWnd][ShutDown] %s", done.error().message.c_str());
  }
}

void PowerManager::ActiveLogoff() {
  log_.Write("[Wakeward][CScheduleWnd][ActiveLogoff] Entry");
  if (deps_.power == nullptr || deps_.consoleUsers == nullptr) return;
  const std::optional<platform::ConsoleUser> user = deps_.consoleUsers->CurrentConsoleUser();
  if (!user) return;
  if (platform::Status done = deps_.power->LogOff(*user); !done) {
    log_.Printf("[Wakeward][CScheduleWnd][ActiveLogoff] %s", done.error().message.c_str());
  }
}

int PowerManager::DoPowerBroadcast(PowerEvent event) {
  log_.Write("[Wakeward][CScheduleWnd][DoPowerBroadcast] Entry");
  switch (event) {
    case PowerEvent::kQuerySuspend:
      break;
    case PowerEvent::kSuspend:
      if (!deps_.newerSystem) return 0;
      break;
    case PowerEvent::kResumeAutomatic:
    case PowerEvent::kResumeSuspend:
      if (event == PowerEvent::kResumeAutomatic) {
        log_.Write("[Wakeward][CScheduleWnd][DoPowerBroadcast] woken by the timer: staying awake");
        RefreshSleepBlock();
      }
      if (deps_.newerSystem) RestoreWakeTimers();
      return 0;
    case PowerEvent::kOther:
      return 0;
  }
  return ArmWakeUpForNextSchedule(false) ? kRefuse : 0;
}

void PowerManager::OnPrepareForSleep(bool start) {
  if (start) {
    sleeping_ = true;
    if (DoPowerBroadcast(PowerEvent::kSuspend) == kRefuse) {
      // Too late to refuse (the block lock was let go or ignored): wake
      // as early as the schedule still allows.
      log_.Write("[Wakeward][CScheduleWnd][DoPowerBroadcast] suspend with a schedule due");
      const NearestSchedule nearest = HasScheduleRightNow(kRefuseWithinSeconds);
      if (nearest.secondsAhead) {
        CreateTimer(static_cast<std::int32_t>(TimerKind::kWakeUp),
                    std::max<std::int64_t>(0, *nearest.secondsAhead - kWakeAheadSeconds));
      }
    }
    // The wake-up timer arms on its own thread; the suspend waits a moment
    // longer so that it is armed before the system sleeps.
    if (deps_.power != nullptr) {
      deps_.loop->SetTimer(Key(kSleepDelayTimerId), kArmingGrace, [this] {
        deps_.loop->KillTimer(Key(kSleepDelayTimerId));
        if (sleeping_) (void)deps_.power->HoldSleepDelay(false);
      });
    }
    return;
  }
  sleeping_ = false;
  const bool automatic = wakeUpTimer_ && wakeUpTimer_->DueTime() <= Now() + 5;
  DoPowerBroadcast(automatic ? PowerEvent::kResumeAutomatic : PowerEvent::kResumeSuspend);
  if (deps_.power != nullptr) (void)deps_.power->HoldSleepDelay(true);
  RefreshSleepBlock();
}

void PowerManager::OnTimerMessage(TimerKind kind) {
  switch (kind) {
    case TimerKind::kWakeUp:
      // The PC is awake; the timer has done its work.
      wakeUpTimer_.reset();
      return;
    case TimerKind::kStartAP:
      return;
    default:
      break;
  }
  // A message of a timer cancelled or replaced after it fired.
  if (!sleepTimer_ || sleepTimer_->Kind() != kind || sleepTimer_->DueTime() > Now()) return;
  if (countdownFirst_) {
    log_.Write("[Wakeward][CScheduleWnd][WindowProc] set timer to sleep ...");
    deps_.loop->SetTimer(Key(kCountdownTimerId), kCountdownTick, [this] { OnCountdownTick(); });
  } else {
    log_.Write("[Wakeward][CScheduleWnd][WindowProc] call NotifyRemainProc ..");
    NotifyRemainProc();
  }
}

void PowerManager::OnCountdownTick() {
  log_.Write("[Wakeward][CScheduleWnd][OnTimer] Entry");
  --countdown_;
  if (countdown_ > 0) {
    log_.Printf("[Wakeward][CScheduleWnd][OnTimer] Countdow: %d", countdown_);
    if (hooks_.invokeRemainTime) hooks_.invokeRemainTime(pendingCategory_, countdown_);
    return;
  }
  CancelSleepTime();
  NotifyRemainProc();
}

void PowerManager::RecordingRunsUntil(std::int64_t end) {
  recordingEnd_ = end;
  RefreshSleepBlock();
}

void PowerManager::RefreshSleepBlock() {
  if (deps_.power == nullptr || sleeping_) return;
  bool want = Now() < recordingEnd_;
  if (!want) {
    const std::optional<std::int64_t> nearest = hooks_.nearestTime ? hooks_.nearestTime() : std::nullopt;
    want = nearest && *nearest != 0 && *nearest <= Now() + kRefuseWithinSeconds;
  }
  if (want == blockHeld_) return;
  if (platform::Status held = deps_.power->HoldSleepBlock(want); !held) {
    log_.Printf("[Wakeward][CScheduleWnd][DoPowerBroadcast] %s", held.error().message.c_str());
    return;
  }
  blockHeld_ = want;
  log_.Write(want ? "[Wakeward][CScheduleWnd][DoPowerBroadcast] suspend refused: a recording is due or running"
                  : "[Wakeward][CScheduleWnd][DoPowerBroadcast] suspend allowed again");
}

}  // namespace TESKTV::SERVICE
