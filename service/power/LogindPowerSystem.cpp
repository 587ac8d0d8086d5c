#include "service/power/LogindPowerSystem.h"

#include <systemd/sd-login.h>

#include <cstdlib>
#include <cstring>

namespace TESKTV::SERVICE {

namespace platform = quorvane::platform;

namespace {

platform::Status NotConnected(const std::string& why) { return platform::MakeError("logind is not reachable: " + why); }

// The user's graphical session, else any of its sessions; the caller's
// own session for a plain process.
std::optional<std::string> SessionOf(uid_t uid) {
  char* display = nullptr;
  if (sd_uid_get_display(uid, &display) >= 0 && display != nullptr) {
    std::string session = display;
    std::free(display);
    return session;
  }
  char** sessions = nullptr;
  const int count = sd_uid_get_sessions(uid, 1, &sessions);
  std::optional<std::string> first;
  if (count > 0 && sessions != nullptr && sessions[0] != nullptr) first = sessions[0];
  if (sessions != nullptr) {
    for (char** s = sessions; *s != nullptr; ++s) std::free(*s);
    std::free(sessions);
  }
  if (first) return first;
  if (const char* own = std::getenv("XDG_SESSION_ID"); own != nullptr && *own != '\0') return std::string(own);
  return std::nullopt;
}

}  // namespace

LogindPowerSystem::LogindPowerSystem(platform::EventLoop& loop) {
  auto connected = platform::Logind::Connect();
  if (!connected) {
    connectError_ = connected.error().message;
    return;
  }
  logind_ = std::move(*connected);
  if (platform::Status attached = logind_->AttachTo(loop); !attached) {
    connectError_ = attached.error().message;
    logind_.reset();
  }
}

LogindPowerSystem::~LogindPowerSystem() {
  block_.Release();
  delay_.Release();
  if (logind_) logind_->Detach();
}

platform::Status LogindPowerSystem::Suspend() {
  return logind_ ? logind_->Suspend(false) : NotConnected(connectError_);
}

platform::Status LogindPowerSystem::Hibernate() {
  return logind_ ? logind_->Hibernate(false) : NotConnected(connectError_);
}

platform::Status LogindPowerSystem::PowerOff() {
  return logind_ ? logind_->PowerOff(false) : NotConnected(connectError_);
}

platform::Status LogindPowerSystem::LogOff(const platform::ConsoleUser& user) {
  if (!logind_) return NotConnected(connectError_);
  const std::optional<std::string> session = SessionOf(user.uid);
  if (!session) return platform::MakeError("no session of uid " + std::to_string(user.uid));
  return logind_->TerminateSession(*session);
}

platform::Status LogindPowerSystem::Hold(platform::LogindInhibitor& lock, bool hold, std::string_view what,
                                         std::string_view why, platform::InhibitMode mode) {
  if (!hold) {
    lock.Release();
    return platform::Status::Ok();
  }
  if (lock.held()) return platform::Status::Ok();
  if (!logind_) return NotConnected(connectError_);
  auto taken = logind_->Inhibit(what, kWho, why, mode);
  if (!taken) return taken.error();
  lock = std::move(*taken);
  return platform::Status::Ok();
}

platform::Status LogindPowerSystem::HoldSleepBlock(bool hold) {
  return Hold(block_, hold, platform::kInhibitSleepAndIdle, "A scheduled recording is due or running",
              platform::InhibitMode::kBlock);
}

platform::Status LogindPowerSystem::HoldSleepDelay(bool hold) {
  return Hold(delay_, hold, platform::kInhibitSleep, "Arming the wake-up for the next scheduled recording",
              platform::InhibitMode::kDelay);
}

platform::Status LogindPowerSystem::ProgramFirmwareAlarm(std::optional<platform::WallTime> due) {
  if (!due) return alarm_.Clear();
  return alarm_.Program(*due);
}

void LogindPowerSystem::OnPrepareForSleep(SleepHandler handler) {
  if (!logind_) return;
  (void)logind_->OnPrepareForSleep(std::move(handler));
}

}  // namespace TESKTV::SERVICE
