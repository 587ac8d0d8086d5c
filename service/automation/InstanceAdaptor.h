#pragma once
// The bus object of one client's instance: reads the arguments of each
// IScheduleProgram call, hands them to the instance and replies with what
// it returns; sends the instance's events as signals to its client only.
// A record that is not exactly the wire layout (wrong length, a text
// without its terminator, calendar fields out of range) is answered with
// E_INVALIDARG before the instance sees it.

#include <functional>
#include <memory>
#include <string>

#include "platform/base/Result.h"
#include "service/automation/BusConnection.h"
#include "service/automation/CScheduleProgramCtrl.h"

namespace TESKTV::SERVICE {

class InstanceAdaptor final : public ScheduleProgramEventSink {
 public:
  // `onRelease` runs when the client calls Release, after the reply.
  static quorvane::platform::Result<std::unique_ptr<InstanceAdaptor>> Serve(
      std::shared_ptr<BusConnection> connection, std::string path, std::string owner,
      std::shared_ptr<CScheduleProgramCtrl> engine, std::function<void()> onRelease);
  // Takes the object off the bus; the instance sends no more events.
  ~InstanceAdaptor() override;
  InstanceAdaptor(const InstanceAdaptor&) = delete;
  InstanceAdaptor& operator=(const InstanceAdaptor&) = delete;

  const std::string& path() const { return path_; }
  const std::string& owner() const { return owner_; }
  // Events from now on reach nobody; the object stays until destroyed.
  void End();
  bool IsEnded() const { return ended_; }

  void OnActiveSchedule2(const SCHEDULE_PROGRAM_BOX& box) override;
  void OnStopSchedule() override;
  void OnInvokeCloseAP() override;
  void OnInVokeRemainTime(std::int32_t lCategory, std::int32_t lTime) override;

 private:
  InstanceAdaptor() = default;
  // Builds a signal to the owner; `append` adds its arguments.
  void Emit(const char* member, const std::function<int(sd_bus_message*)>& append);

  friend struct InstanceHandlers;

  std::shared_ptr<BusConnection> connection_;
  std::string path_;
  std::string owner_;
  std::shared_ptr<CScheduleProgramCtrl> engine_;
  std::function<void()> onRelease_;
  quorvane::platform::sdbus::SlotPtr methodsSlot_;
  quorvane::platform::sdbus::SlotPtr eventsSlot_;
  bool ended_ = false;
};

}  // namespace TESKTV::SERVICE
