#pragma once
// The service's side of the automation interface on one bus connection:
// it owns the bus name, serves the factory object, keeps one instance per
// CreateInstance, and ends an instance at Release or when its client's
// connection goes. Only the client that created an instance may call it.
// In system mode every caller must be root or the active console user
// (the sender's effective uid); anyone else gets AccessDenied and nothing
// happens.
//
// Runs on an EventLoop; everything happens on the loop's thread.

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/base/Result.h"
#include "platform/loop/EventLoop.h"
#include "platform/session/ConsoleUser.h"
#include "service/automation/BusConnection.h"
#include "service/automation/CScheduleProgramCtrl.h"
#include "service/automation/FactoryAdaptor.h"
#include "service/automation/InstanceAdaptor.h"

namespace TESKTV::SERVICE {

class AutomationServer {
 public:
  struct Options {
    // System mode: check every caller against root and the console user.
    bool checkCallers = false;
    const quorvane::platform::ConsoleUserProvider* consoleUsers = nullptr;  // required with checkCallers
    // Runs before an allowed call of a console user who is not root.
    std::function<void(uid_t)> beforeUserCall;
    // Runs (on the loop) when the last instance has ended.
    std::function<void()> onLastInstanceEnded;
  };

  // Serves on `bus` and takes the service's bus name; fails when another
  // process owns it.
  static quorvane::platform::Result<std::unique_ptr<AutomationServer>> Start(
      quorvane::platform::sdbus::BusPtr bus, quorvane::platform::EventLoop& loop,
      CScheduleProgramCtrl::WindowAccess window, Options options);
  // Gives the name up, ends the instances and flushes what is still queued.
  ~AutomationServer();
  AutomationServer(const AutomationServer&) = delete;
  AutomationServer& operator=(const AutomationServer&) = delete;

  std::size_t InstanceCount() const { return instances_.size(); }
  std::string UniqueName() const;
  sd_bus* bus() const { return connection_->get(); }

  // Reads and writes what the connection has; ends released instances.
  quorvane::platform::Status Process();

 private:
  AutomationServer(quorvane::platform::EventLoop& loop, CScheduleProgramCtrl::WindowAccess window, Options options);
  quorvane::platform::Status Serve();
  quorvane::platform::Result<std::string> CreateInstanceFor(const std::string& caller);
  void EndInstance(const std::string& path);
  void EndInstancesOf(const std::string& owner);
  void RunDeferred();
  // The caller's effective uid; cached per connection.
  std::optional<uid_t> CallerUid(sd_bus_message* call);
  // Whether the call may go on; replies to it when not.
  bool Admit(sd_bus_message* call);
  static int OnFilter(sd_bus_message* message, void* userdata, sd_bus_error* error);
  static int OnNameOwnerChanged(sd_bus_message* message, void* userdata, sd_bus_error* error);

  void ProcessFromLoop();
  void Rearm();

  quorvane::platform::EventLoop& loop_;
  CScheduleProgramCtrl::WindowAccess window_;
  Options options_;
  std::shared_ptr<BusConnection> connection_ = std::make_shared<BusConnection>();
  std::unique_ptr<FactoryAdaptor> factory_;
  quorvane::platform::sdbus::SlotPtr filterSlot_;
  quorvane::platform::sdbus::SlotPtr ownerMatchSlot_;
  bool ownsName_ = false;

  struct Instance {
    std::shared_ptr<CScheduleProgramCtrl> engine;
    std::unique_ptr<InstanceAdaptor> adaptor;
  };
  std::map<std::string, Instance> instances_;  // by object path
  std::vector<std::string> toEnd_;              // ended, taken off the bus after processing
  std::map<std::string, uid_t> callerUids_;     // by unique name
  std::uint64_t nextSerial_ = 1;
  bool hadInstances_ = false;

  quorvane::platform::EventLoop::WatchId watch_ = 0;
  bool attached_ = false;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace TESKTV::SERVICE
