#pragma once
// Shared pieces of the automation tests: a sink that keeps what it hears,
// pumping clients until something has arrived, and records to send.

#include <poll.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "interface/client/ScheduleProgramClient.h"
#include "interface/record/ScheduleProgramBox.h"

namespace quorvane::testing {

struct RecordedEvents final : automation::ScheduleProgramEvents {
  std::vector<std::string> names;
  std::vector<std::string> ids;
  std::vector<std::pair<std::int32_t, std::int32_t>> remain;
  void OnActiveSchedule2(const wire::SCHEDULE_PROGRAM_BOX& box) override {
    names.push_back("OnActiveSchedule2");
    ids.push_back(wire::GetText(box.ID));
  }
  void OnStopSchedule() override { names.push_back("OnStopSchedule"); }
  void OnInvokeCloseAP() override { names.push_back("OnInvokeCloseAP"); }
  void OnInVokeRemainTime(std::int32_t category, std::int32_t seconds) override {
    names.push_back("OnInVokeRemainTime");
    remain.emplace_back(category, seconds);
  }
  void OnDisconnected() override { names.push_back("OnDisconnected"); }
  bool Heard(const std::string& name) const {
    for (const auto& n : names) {
      if (n == name) return true;
    }
    return false;
  }
};

// Processes the clients until `done` holds or `timeout` has passed.
inline bool PumpUntil(const std::vector<automation::ScheduleProgramClient*>& clients, const std::function<bool()>& done,
                      std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    for (auto* client : clients) (void)client->Process();
    if (done()) return true;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    std::vector<pollfd> fds;
    for (auto* client : clients) fds.push_back(pollfd{client->Fd(), client->Events(), 0});
    ::poll(fds.data(), fds.size(), static_cast<int>(std::min<std::int64_t>(left.count(), 200)));
  }
}

// A DAILY schedule of the device "Box1" at `hour`:`minute` on 2 January
// 2030, `minutes` long.
inline wire::SCHEDULE_PROGRAM_BOX DailyBox(const std::string& id, int hour, int minute, int minutes) {
  wire::SCHEDULE_PROGRAM_BOX box;
  wire::SetText(box.ID, id);
  wire::SetText(box.description, "News " + id);
  wire::SetText(box.device, "Box1");
  wire::SetText(box.szMajorCh, "12");
  wire::SetText(box.recpath, "/tmp/recordings");
  box.enable = 1;
  box.eAction = 5;
  box.interval = wire::DAILY;
  box.dtime = wire::Date_Time{2030, 1, 2, hour, minute, 0};
  box.startdtime = box.dtime;
  box.enddtime = box.dtime;
  box.timelen = minutes;
  return box;
}

}  // namespace quorvane::testing
