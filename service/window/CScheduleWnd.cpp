#include "service/window/CScheduleWnd.h"

#include <unistd.h>

#include <chrono>

#include "platform/paths/UserFolders.h"
#include "service/monitor/ScheduleErrors.h"
#include "service/schedule/ScheduleFile.h"

namespace TESKTV::SERVICE {

namespace platform = quorvane::platform;
using SCHEDULE::ScheduleMonitor;
using SCHEDULE::ScheduleProgram;

namespace {

platform::RegistryLocations LocationsOf(const CScheduleWnd::Dependencies& deps) {
  return deps.registry ? *deps.registry : platform::RegistryLocations::FromEnvironment();
}

ServiceLog& LogOf(const CScheduleWnd::Dependencies& deps) {
  return deps.log != nullptr ? *deps.log : ServiceLog::Process();
}

// Account names that stand for nobody.
bool IsNoUserName(const std::string& name) { return name.empty() || name == "0" || name == " "; }

}  // namespace

std::string LocalAppDataOf(const platform::ConsoleUser& user) {
  if (user.uid == ::geteuid()) {
    if (auto own = platform::LocalAppDataFolder()) return *own;
  }
  if (user.home.empty()) return {};
  return user.home + "/.local/share";
}

CScheduleWnd::CScheduleWnd(Dependencies deps)
    : loop_(*deps.loop),
      consoleUsers_(*deps.consoleUsers),
      log_(LogOf(deps)),
      registry_(LocationsOf(deps)),
      wakeTimers_(deps.wakeTimers),
      is64BitSystem_(deps.is64BitSystem),
      settings_(WindowSettings::Read(registry_, log_)),
      poster_(*deps.loop, [this](const PostedMessage& message) { WindowProc(message); }) {}

CScheduleWnd::~CScheduleWnd() {
  poster_.Close();
  loop_.KillTimers(TimerOwner());
  monitor_.reset();
}

std::int64_t CScheduleWnd::Now() const {
  return std::chrono::floor<std::chrono::seconds>(loop_.clock().Wall().time_since_epoch()).count();
}

std::string CScheduleWnd::SchedulePath() const { return monitor_ ? monitor_->Path() : std::string(); }

bool CScheduleWnd::LoadScheduleProgram() {
  log_.Write("[Wakeward][CScheduleWnd][LoadScheduleProgram] Entry");
  const std::optional<platform::ConsoleUser> user = consoleUsers_.CurrentConsoleUser();
  if (!user) {
    log_.Write("[Wakeward][CScheduleWnd][LoadScheduleProgram] no user at the console, PostMessage to reload.");
    PostReload();
    return true;
  }
  log_.Printf("[Wakeward][CScheduleWnd][LoadScheduleProgram] console user: uid = %u", static_cast<unsigned>(user->uid));
  const std::string appData = LocalAppDataOf(*user);
  const std::string folder = appData.empty() ? std::string() : appData + "/Quorvane/";
  log_.Write("[Wakeward][CScheduleWnd][GetLogonUserName] Entry");
  const std::string& name = user->name;
  if (IsNoUserName(name) || folder.empty()) {
    log_.Printf(
        "[Wakeward][CScheduleWnd][LoadScheduleProgram] GetLogonUserName fail.PostMessage to reload.  path = %s; "
        "token= 0x%x; szUser= %s",
        folder.c_str(), static_cast<unsigned>(user->uid), name.c_str());
    PostReload();
    return true;
  }
  log_.Printf(
      "[Wakeward][CScheduleWnd][LoadScheduleProgram] GetLogonUserName succeed. path = %s; token= 0x%x; szUser= %s",
      folder.c_str(), static_cast<unsigned>(user->uid), name.c_str());
  const std::string path = folder + name + ".xml";
  if (platform::Status checked = SCHEDULE::CheckScheduleXML(path); !checked) {
    log_.Printf("[Wakeward][CScheduleWnd][LoadScheduleProgram] CheckScheduleXML: %s", checked.error().message.c_str());
  }
  monitor_.reset();
  loadedUser_.reset();
  SCHEDULE::MonitorOptions options;
  options.clock = &loop_.clock();
  options.log = &log_;
  options.registry = registry_;
  options.is64BitSystem = is64BitSystem_;
  monitor_ = std::make_unique<ScheduleMonitor>(poster_, path, options);
  monitor_->StartMonitor();
  loadedUser_ = user->uid;
  return true;
}

void CScheduleWnd::PostReload() {
  poster_.Post(PostedMessage{TESK_RELOAD_SCHEDULES, 0, 0, nullptr});
}

void CScheduleWnd::Reload() {
  if (LoadScheduleProgram()) return;
  log_.Write("[Wakeward][CScheduleWnd][WindowProc] LoadScheduleProgram fail");
  if (destroyRequest_) destroyRequest_();
}

void CScheduleWnd::WindowProc(const PostedMessage& message) {
  switch (message.message) {
    case TESK_RELOAD_SCHEDULES: {
      // A second's pause lets a burst of changes end in one reload; the
      // loop goes on serving calls meanwhile.
      const platform::EventLoop::TimerKey key{TimerOwner(), kReloadTimerId};
      loop_.SetTimer(key, kReloadDelay, [this, key] {
        loop_.KillTimer(key);
        Reload();
      });
      return;
    }
    case TESK_ACTIVE_AP:
      OnActiveAP(message.record);
      return;
    case TESK_ACTIVE_SCHEDULE:
      OnActiveSchedule(message.record);
      return;
    default:
      if (const auto kind = TimerKindOfMessage(message.message)) OnTimerMessage(*kind);
      return;
  }
}

bool CScheduleWnd::AddScheduleProgram2(const SCHEDULE_PROGRAM_BOX* box, std::int32_t* nErr) {
  log_.Write("[Wakeward][CScheduleWnd][AddScheduleProgram2] Entry");
  if (!monitor_ || box == nullptr || nErr == nullptr) return false;
  auto record = ScheduleProgram::FromBox(*box);
  if (!record) {
    log_.Printf("[Wakeward][CScheduleWnd][AddScheduleProgram2] %s", record.error().message.c_str());
    return false;
  }
  *nErr = SCHEDULE::ErrorNumber(monitor_->AddSchedule(&*record));
  if (*nErr != 0) {
    log_.Printf("[Wakeward][CScheduleWnd][AddScheduleProgram2] Err = 0x%X", static_cast<unsigned>(*nErr));
    return false;
  }
  PostReload();
  return true;
}

bool CScheduleWnd::CheckAddScheduleProgram(const SCHEDULE_PROGRAM_BOX* box, std::int32_t* nErr) {
  log_.Write("[Wakeward][CScheduleWnd][CheckAddScheduleProgram] Entry");
  if (!monitor_ || box == nullptr || nErr == nullptr) return false;
  auto record = ScheduleProgram::FromBox(*box);
  if (!record) {
    log_.Printf("[Wakeward][CScheduleWnd][CheckAddScheduleProgram] %s", record.error().message.c_str());
    return false;
  }
  *nErr = SCHEDULE::ErrorNumber(monitor_->CheckAddSchedule(&*record));
  return *nErr == 0;
}

bool CScheduleWnd::UpdateScheduleProgram2(const SCHEDULE_PROGRAM_BOX* box, bool updateFile, std::int32_t* nErr) {
  log_.Write("[Wakeward][CScheduleWnd][UpdateScheduleProgram2] Entry");
  if (!monitor_ || box == nullptr || nErr == nullptr) return false;
  auto record = ScheduleProgram::FromBox(*box);
  if (!record) {
    log_.Printf("[Wakeward][CScheduleWnd][UpdateScheduleProgram2] %s", record.error().message.c_str());
    return false;
  }
  *nErr = SCHEDULE::ErrorNumber(monitor_->UpdateSchedule(&*record, updateFile));
  if (*nErr != 0) return false;
  PostReload();
  return true;
}

bool CScheduleWnd::ModifyScheduleStatus(const SCHEDULE_PROGRAM_BOX* box, bool updateFile, std::int32_t* nErr) {
  log_.Write("[Wakeward][CScheduleWnd][ModifyScheduleStatus] Entry");
  if (!monitor_ || box == nullptr || nErr == nullptr) return false;
  auto record = ScheduleProgram::FromBox(*box);
  if (!record) {
    log_.Printf("[Wakeward][CScheduleWnd][ModifyScheduleStatus] %s", record.error().message.c_str());
    return false;
  }
  *nErr = SCHEDULE::ErrorNumber(monitor_->ModifyStatus(&*record, updateFile));
  if (*nErr != 0) return false;
  PostReload();
  return true;
}

bool CScheduleWnd::RemoveScheduleProgram(std::string_view id) {
  log_.Write("[Wakeward][CScheduleWnd][RemoveScheduleProgram] Entry");
  if (!monitor_) return false;
  if (!monitor_->RemoveSchedule(id)) return false;
  PostReload();
  return true;
}

bool CScheduleWnd::GetScheduleProgram2(std::string_view id, SCHEDULE_PROGRAM_BOX* box) {
  log_.Write("[Wakeward][CScheduleWnd][GetScheduleProgram2] Entry");
  if (!monitor_ || box == nullptr) return false;
  auto record = monitor_->FindSchedule(id);
  if (!record) return false;
  *box = (*record)->ToBox();
  return true;
}

bool CScheduleWnd::GetScheduleProgram2(std::int32_t index, SCHEDULE_PROGRAM_BOX* box) {
  log_.Write("[Wakeward][CScheduleWnd][GetScheduleProgram2] Entry2");
  if (!monitor_ || box == nullptr || index < 0) return false;
  auto record = monitor_->VisibleAt(static_cast<std::size_t>(index));
  if (!record) return false;
  *box = (*record)->ToBox();
  return true;
}

std::int32_t CScheduleWnd::GetScheduleProgramNum() {
  log_.Write("[Wakeward][CScheduleWnd][GetScheduleProgramNum] Entry");
  if (!monitor_) return 0;
  return static_cast<std::int32_t>(monitor_->VisibleCount());
}

bool CScheduleWnd::DelAnotherAPTimeConflictSp() {
  log_.Write("[Wakeward][CScheduleWnd][DelAnotherAPTimeConflictSp] Entry");
  if (!monitor_) return false;
  return monitor_->DelAnotherAPTimeConflictSp();
}

bool CScheduleWnd::SetWakeUpSchedule(std::int32_t seconds) {
  log_.Write("[Wakeward][CScheduleWnd][SetWakeUpSchedule] Entry");
  if (!monitor_) return false;
  return monitor_->SetWakeUpSchedule(seconds);
}

bool CScheduleWnd::SetCtrlInterface(ControlRole role, std::shared_ptr<IScheduleProgram> control) {
  log_.Write(role == ControlRole::kAP ? "[Wakeward][CScheduleWnd][SetCtrlInterface] Entry: AP"
                                      : "[Wakeward][CScheduleWnd][SetCtrlInterface] Entry: Quick");
  if (!control) return false;
  (role == ControlRole::kAP ? apControl_ : quickControl_) = std::move(control);
  return true;
}

void CScheduleWnd::ReleaseCtrlInterface(ControlRole role) {
  log_.Write(role == ControlRole::kAP ? "[Wakeward][CScheduleWnd][ReleaseCtrlInterface] Entry - AP"
                                      : "[Wakeward][CScheduleWnd][ReleaseCtrlInterface] Entry - Quick");
  (role == ControlRole::kAP ? apControl_ : quickControl_).reset();
}

std::shared_ptr<IScheduleProgram> CScheduleWnd::Control(ControlRole role) const {
  return role == ControlRole::kAP ? apControl_ : quickControl_;
}

void CScheduleWnd::SetBeginAP(std::string path) {
  log_.Printf("[Wakeward][CScheduleWnd][SetBeginAP] Entry: AP=%s", path.c_str());
  beginAP_ = std::move(path);
}

void CScheduleWnd::StopSchedule() {
  log_.Write("[Wakeward][CScheduleWnd][StopSchedule] Entry");
  // A copy: the control's client may release it meanwhile.
  if (const auto control = apControl_) control->StopSchedule();
}

void CScheduleWnd::ActiveScheduleProgram(const ScheduleProgram& record) {
  log_.Write("[Wakeward][CScheduleWnd][ActiveScheduleProgram] Entry");
  const SCHEDULE_PROGRAM_BOX box = record.ToBox();
  if (const auto control = apControl_) control->ActiveSchedule2(box);
  if (const auto control = quickControl_) control->ActiveSchedule2(box);
}

void CScheduleWnd::InvokeCloseAPOnControl() {
  if (const auto control = apControl_) control->InVokeCloseAP();
}

void CScheduleWnd::InvokeRemainTimeOnControl(std::int32_t category, std::int32_t seconds) {
  if (const auto control = quickControl_) control->InVokeRemainTime(category, seconds);
}

}  // namespace TESKTV::SERVICE
