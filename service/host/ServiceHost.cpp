#include "service/host/ServiceHost.h"

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <systemd/sd-daemon.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "service/host/ServiceIdentity.h"

namespace TESKTV::SERVICE {

namespace platform = quorvane::platform;
namespace sdbus = platform::sdbus;

namespace {

platform::Result<sdbus::BusPtr> OpenRoleBus(platform::ProcessRole role) {
  sd_bus* raw = nullptr;
  const bool system = role == platform::ProcessRole::kSystemService;
  const int r = system ? sd_bus_open_system(&raw) : sd_bus_open_user(&raw);
  if (r < 0) return sdbus::ErrnoError(system ? "cannot connect to the system bus" : "cannot connect to the session bus", r);
  return sdbus::BusPtr(raw);
}

}  // namespace

ServiceHost::ServiceHost(HostOptions options)
    : options_(std::move(options)), log_(options_.log != nullptr ? *options_.log : ServiceLog::Process()) {
  if (options_.consoleUsers == nullptr) {
    ownUsers_ = platform::MakeConsoleUserProvider(options_.role);
    options_.consoleUsers = ownUsers_.get();
  }
  if (!options_.eventLog) {
    options_.eventLog =
        options_.role == platform::ProcessRole::kSystemService ? SystemLogSink() : StandardOutputSink();
  }
  if (!options_.openBus) {
    const platform::ProcessRole role = options_.role;
    options_.openBus = [role] { return OpenRoleBus(role); };
  }
}

ServiceHost::~ServiceHost() {
  server_.reset();
  window_.reset();
  if (loop_ && signalWatch_ != 0) loop_->RemoveWatch(signalWatch_);
  if (signalFd_ >= 0) ::close(signalFd_);
}

void ServiceHost::LogEvent(std::string_view text) const { options_.eventLog(text); }

void ServiceHost::ReportStatus(ServiceState state) const {
  if (options_.role != platform::ProcessRole::kSystemService) return;
  log_.Printf("[Wakeward][SetServiceStatus] 0x%X", static_cast<unsigned>(state));
  switch (state) {
    case ServiceState::kRunning:
      sd_notify(0, "READY=1");
      break;
    case ServiceState::kStopPending:
      sd_notify(0, "STOPPING=1");
      break;
    default:
      break;
  }
}

platform::Status ServiceHost::WatchSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  signalFd_ = ::signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
  if (signalFd_ < 0) return platform::MakeError(std::string("signalfd: ") + std::strerror(errno));
  auto watch = loop_->WatchFd(signalFd_, POLLIN, [this](short) {
    signalfd_siginfo info{};
    bool stop = false;
    while (::read(signalFd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) stop = true;
    if (stop) StopFromLoop();
  });
  if (!watch) return watch.error();
  signalWatch_ = *watch;
  return platform::Status::Ok();
}

void ServiceHost::StopFromLoop() {
  if (options_.role == platform::ProcessRole::kSystemService) log_.Write("[Schedule][HandlerEx][SERVICE_CONTROL_STOP]");
  ReportStatus(ServiceState::kStopPending);
  loop_->Quit(0);
}

void ServiceHost::Stop() {
  std::lock_guard<std::mutex> lock(mutex_);
  stopRequested_ = true;
  if (loop_) loop_->Post([this] { StopFromLoop(); });
}

bool ServiceHost::Post(std::function<void(CScheduleWnd*)> task) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!loop_) return false;
  loop_->Post([this, task = std::move(task)] { task(window_.get()); });
  return true;
}

int ServiceHost::Run() {
  ReportStatus(ServiceState::kStartPending);
  log_.Write("[Wakeward][CServiceModule][Run] Entry");
  auto loop = platform::EventLoop::Create();
  if (!loop) {
    LogEvent(loop.error().message);
    return 1;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    loop_ = std::move(*loop);
    if (stopRequested_) loop_->Post([this] { StopFromLoop(); });
  }
  if (options_.handleSignals) {
    if (platform::Status watched = WatchSignals(); !watched) LogEvent(watched.error().message);
  }

  CScheduleWnd::Dependencies deps;
  deps.loop = loop_.get();
  deps.consoleUsers = options_.consoleUsers;
  deps.log = &log_;
  deps.registry = options_.registry;
  deps.wakeTimers = options_.wakeTimers;
  window_ = std::make_unique<CScheduleWnd>(deps);
  window_->SetDestroyRequest([this] {
    loop_->Post([this] { window_.reset(); });
  });
  if (!window_->LoadScheduleProgram()) {
    LogEvent("LoadScheduleProgram fail");
    window_.reset();
  }

  auto bus = options_.openBus();
  if (!bus) {
    LogEvent(bus.error().message);
    return 1;
  }
  AutomationServer::Options serverOptions;
  const bool systemService = options_.role == platform::ProcessRole::kSystemService;
  serverOptions.checkCallers = systemService;
  serverOptions.consoleUsers = options_.consoleUsers;
  // A new user at the console gets their own schedules at once, not the
  // previous user's until the next reload.
  serverOptions.beforeUserCall = [this](uid_t uid) {
    if (window_ && window_->LoadedUser() != uid) window_->LoadScheduleProgram();
  };
  if (!systemService) serverOptions.onLastInstanceEnded = [this] { loop_->Quit(0); };
  auto server = AutomationServer::Start(std::move(*bus), *loop_, [this] { return window_.get(); }, serverOptions);
  if (!server) {
    LogEvent(server.error().message);
    window_.reset();
    return 1;
  }
  server_ = std::move(*server);
  LogEvent("TeskIrWakeward started");
  ReportStatus(ServiceState::kRunning);
  if (options_.onReady) options_.onReady();

  auto exitCode = loop_->Run();

  if (window_) {
    window_->StopSchedule();
    window_.reset();
  }
  server_.reset();
  if (systemService) {
    ReportStatus(ServiceState::kStopped);
    LogEvent("Service stopped");
  }
  return exitCode ? *exitCode : 1;
}

}  // namespace TESKTV::SERVICE
