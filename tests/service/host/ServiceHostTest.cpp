// The service host run in the test process on private buses: the window's
// events through the "AP" and "Quick" controls, and who may call the
// service when it runs as a system service.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <future>
#include <thread>

#include "interface/client/ScheduleProgramClient.h"
#include "platform/session/FakeConsoleUserProvider.h"
#include "service/host/ServiceHost.h"
#include "service/schedule/ScheduleProgram.h"
#include "tests/service/automation/AutomationTestSupport.h"
#include "tests/service/automation/ServiceProcess.h"
#include "tests/support/PrivateBus.h"
#include "tests/support/TempDir.h"

namespace quorvane::testing {
namespace {

using automation::ScheduleProgramClient;
using platform::S_OK;
using TESKTV::SERVICE::CScheduleWnd;
using TESKTV::SERVICE::HostOptions;
using TESKTV::SERVICE::ServiceHost;

// Runs a host on its own thread until the object goes.
class RunningHost {
 public:
  explicit RunningHost(HostOptions options) {
    std::promise<void> ready;
    auto readyFuture = ready.get_future();
    options.onReady = [&ready] { ready.set_value(); };
    options.eventLog = [](std::string_view) {};
    host_ = std::make_unique<ServiceHost>(std::move(options));
    thread_ = std::thread([this] { exitCode_ = host_->Run(); });
    started_ = readyFuture.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
  }
  ~RunningHost() {
    host_->Stop();
    thread_.join();
  }
  bool started() const { return started_; }
  // Runs `task` on the host's loop and waits until it has run.
  void OnWindow(const std::function<void(CScheduleWnd&)>& task) {
    std::promise<void> done;
    host_->Post([&](CScheduleWnd* window) {
      if (window != nullptr) task(*window);
      done.set_value();
    });
    done.get_future().wait();
  }

 private:
  std::unique_ptr<ServiceHost> host_;
  std::thread thread_;
  int exitCode_ = -1;
  bool started_ = false;
};

class HostFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("XDG_DATA_HOME", (folder_.path() + "/data").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (folder_.path() + "/config").c_str(), 1);
    ::setenv("QUORVANE_MACHINE_DIR", (folder_.path() + "/machine").c_str(), 1);
  }
  TempDir folder_;
};

class WindowEventsTest : public HostFixture {
 protected:
  PrivateBus bus_{PrivateBus::Role::kSession};
};

TEST_F(WindowEventsTest, TheLastRegisteredControlsReceiveTheWindowsEvents) {
  ASSERT_TRUE(bus_.ok()) << bus_.error();
  platform::FakeConsoleUserProvider users(platform::LookUpConsoleUser(::geteuid()));
  HostOptions options;
  options.consoleUsers = &users;
  RunningHost host(std::move(options));
  ASSERT_TRUE(host.started());

  const automation::ClientOptions session{automation::BusChoice::kSession, std::chrono::seconds(20)};
  auto firstAp = ScheduleProgramClient::Connect(session);
  auto secondAp = ScheduleProgramClient::Connect(session);
  auto quick = ScheduleProgramClient::Connect(session);
  ASSERT_TRUE(firstAp && secondAp && quick);
  RecordedEvents firstEvents, secondEvents, quickEvents;
  (*firstAp)->Advise(&firstEvents);
  (*secondAp)->Advise(&secondEvents);
  (*quick)->Advise(&quickEvents);
  ASSERT_EQ((*firstAp)->Initialize()->hr, S_OK);
  ASSERT_EQ((*secondAp)->Initialize()->hr, S_OK);
  ASSERT_EQ((*quick)->InitializeQuick()->hr, S_OK);

  host.OnWindow([](CScheduleWnd& window) {
    window.ActiveScheduleProgram(TESKTV::SCHEDULE::ScheduleProgram("SI_NOW"));
    window.InvokeCloseAPOnControl();
    window.InvokeRemainTimeOnControl(3, 59);
  });
  const std::vector<ScheduleProgramClient*> clients = {firstAp->get(), secondAp->get(), quick->get()};
  ASSERT_TRUE(PumpUntil(clients, [&] { return secondEvents.names.size() == 2 && quickEvents.names.size() == 2; }));
  EXPECT_EQ(secondEvents.names, (std::vector<std::string>{"OnActiveSchedule2", "OnInvokeCloseAP"}));
  EXPECT_EQ(secondEvents.ids, std::vector<std::string>{"SI_NOW"});
  EXPECT_EQ(quickEvents.names, (std::vector<std::string>{"OnActiveSchedule2", "OnInVokeRemainTime"}));
  EXPECT_EQ(quickEvents.remain, (std::vector<std::pair<std::int32_t, std::int32_t>>{{3, 59}}));
  for (auto* client : clients) ASSERT_TRUE(client->GetScheduleProgramNum());
  ASSERT_TRUE(PumpUntil(clients, [] { return true; }));
  EXPECT_TRUE(firstEvents.names.empty());

  // A released role reaches nobody; the instance that held it lives on.
  ASSERT_EQ((*secondAp)->Uninitialize()->hr, S_OK);
  host.OnWindow([](CScheduleWnd& window) { window.InvokeCloseAPOnControl(); });
  for (auto* client : clients) ASSERT_TRUE(client->GetScheduleProgramNum());
  ASSERT_TRUE(PumpUntil(clients, [] { return true; }));
  EXPECT_EQ(secondEvents.names.size(), 2u);
  EXPECT_TRUE(firstEvents.names.empty());
}

// Two local accounts for the service-mode test, removed afterwards.
class TestUsers {
 public:
  explicit TestUsers(const std::string& folder) {
    for (const char* suffix : {"c", "x"}) {
      const std::string name = "qvbus" + std::to_string(::getpid()) + suffix;
      const std::string home = folder + "/home-" + suffix;
      const RunResult made = RunProgram({"/usr/sbin/useradd", "-M", "-N", "-d", home, "-s", "/bin/false", name});
      if (made.exitCode != 0) {
        error_ = "useradd: " + made.err;
        return;
      }
      names_.push_back(name);
      std::filesystem::create_directories(home);
      const platform::ConsoleUser user = LookUp(name);
      ::chown(home.c_str(), user.uid, static_cast<gid_t>(-1));
      users_.push_back(user);
    }
  }
  ~TestUsers() {
    for (const std::string& name : names_) (void)RunProgram({"/usr/sbin/userdel", name});
  }
  bool ok() const { return error_.empty() && users_.size() == 2; }
  const std::string& error() const { return error_; }
  const platform::ConsoleUser& console() const { return users_[0]; }
  const platform::ConsoleUser& intruder() const { return users_[1]; }

 private:
  static platform::ConsoleUser LookUp(const std::string& name) {
    const RunResult id = RunProgram({"/usr/bin/id", "-u", name});
    return platform::LookUpConsoleUser(static_cast<uid_t>(std::stoul(id.out)));
  }
  std::vector<std::string> names_;
  std::vector<platform::ConsoleUser> users_;
  std::string error_;
};

class ServiceModeTest : public HostFixture {
 protected:
  PrivateBus systemBus_{PrivateBus::Role::kSystem};
};

TEST_F(ServiceModeTest, OnlyRootAndTheConsoleUserReachTheSchedules) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to run as other users";
  ASSERT_TRUE(systemBus_.ok()) << systemBus_.error();
  // The bus socket's folder is the test's; the other accounts must reach it.
  const std::string address = systemBus_.address();
  const std::string socket = address.substr(10, address.find(',') - 10);
  ASSERT_EQ(::chmod(std::filesystem::path(socket).parent_path().c_str(), 0755), 0);
  ::chmod(folder_.path().c_str(), 0755);
  TestUsers accounts(folder_.path());
  if (!accounts.ok()) GTEST_SKIP() << accounts.error();

  platform::FakeConsoleUserProvider users(accounts.console());
  HostOptions options;
  options.role = platform::ProcessRole::kSystemService;
  options.consoleUsers = &users;
  RunningHost host(std::move(options));
  ASSERT_TRUE(host.started());

  const char* ctl = std::getenv("QUORVANE_WAKEWARD_CTL");
  ASSERT_NE(ctl, nullptr);
  const std::vector<std::string> noSessionBus = {"DBUS_SESSION_BUS_ADDRESS=unix:path=" + folder_.path() + "/none"};
  const std::vector<std::string> add = {ctl,       "add",     "--id",      "SI_OWN", "--start", "2030-01-02 20:00",
                                        "--daily", "--minutes", "30", "--channel", "7"};

  const RunResult byConsole = RunProgram(add, accounts.console().uid, noSessionBus);
  ASSERT_EQ(byConsole.exitCode, 0) << byConsole.err;
  std::string path;
  host.OnWindow([&](CScheduleWnd& window) { path = window.SchedulePath(); });
  EXPECT_EQ(path, folder_.path() + "/home-c/.local/share/Quorvane/" + accounts.console().name + ".xml");

  for (const std::vector<std::string>& words :
       {std::vector<std::string>{ctl, "list"}, std::vector<std::string>{ctl, "show", "SI_OWN"},
        std::vector<std::string>{ctl, "delete", "SI_OWN"}, add}) {
    const RunResult byIntruder = RunProgram(words, accounts.intruder().uid, noSessionBus);
    EXPECT_EQ(byIntruder.exitCode, 1) << words[1];
    EXPECT_NE(byIntruder.err.find("AccessDenied"), std::string::npos) << words[1] << ": " << byIntruder.err;
  }

  // Root sees the console user's schedule, unchanged.
  const RunResult byRoot = RunProgram({ctl, "--json", "show", "SI_OWN"}, std::nullopt, noSessionBus);
  ASSERT_EQ(byRoot.exitCode, 0) << byRoot.err;
  EXPECT_NE(byRoot.out.find("\"channel\":\"7\""), std::string::npos) << byRoot.out;
}

}  // namespace
}  // namespace quorvane::testing
