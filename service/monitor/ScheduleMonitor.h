#pragma once
// The service's schedule list and the thread that watches it.
//
// The list belongs to the window thread: every operation below except
// Snapshot() runs there. Records in the list are never changed in place;
// a change puts a new record in, and publishes the new list as a snapshot.
// The monitor thread works on the snapshot it took at the start of each
// pass, and the messages it posts carry the records themselves, so neither
// the thread nor a posted message ever sees a list in the middle of a
// change, and a record stays valid for the window after the monitor is
// replaced.
//
// Every change of the list is written to the schedule file at once.

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/base/Result.h"
#include "platform/clock/Clock.h"
#include "platform/registry/Registry.h"
#include "service/log/ServiceLog.h"
#include "service/messages/WindowPoster.h"
#include "service/monitor/ScheduleOccurrence.h"
#include "service/monitor/TeskThread.h"
#include "service/schedule/ScheduleFile.h"
#include "service/schedule/ScheduleProgram.h"

namespace TESKTV::SCHEDULE {

struct MonitorOptions {
  // The real clock when null.
  quorvane::platform::Clock* clock = nullptr;
  // The process's log when null.
  SERVICE::ServiceLog* log = nullptr;
  // The machine registry that names the capture application; the
  // locations from the environment when empty.
  std::optional<quorvane::platform::RegistryLocations> registry;
  bool is64BitSystem = false;
};

// Where the capture application of the wake-up record is registered.
inline constexpr std::string_view kCaptureAppKey = "SOFTWARE\\ArcSoft\\TotalMedia Extreme\\2.0";
inline constexpr std::string_view kCaptureAppValue = "AppPath";
inline constexpr std::string_view kCaptureAppSuffix = "/TotalMedia Studio MV/CaptureModule";
// The value is read into a buffer of this many bytes (UTF-16, terminator
// included); a longer value counts as missing.
inline constexpr std::size_t kCaptureAppBufferBytes = 260;

inline constexpr std::string_view kScheduleNotFound = "Schedule Not Found";

class ScheduleMonitor final : public THREAD::TeskThread {
 public:
  // Loads the schedule file at `path`. `window` receives the monitor's
  // messages and must outlive the monitor.
  ScheduleMonitor(SERVICE::WindowPoster& window, std::string path, MonitorOptions options = {});
  // Stops the thread and saves a list marked changed.
  ~ScheduleMonitor() override;

  const std::string& Path() const { return file_.Path(); }

  bool StartMonitor();
  bool CancelMonitor();

  // Writes the list to the file when it is marked changed; the mark stays
  // when writing fails.
  quorvane::platform::Status SaveSchedules();
  bool IsChanged() const { return changed_; }

  // The list operations. Each returns an error word ("" for success; see
  // ScheduleErrors.h for the numbers clients get). A record passed in may
  // be changed by the operation (validation sets its week days, error and
  // enable); the list gets a Clone of it.
  std::string AddSchedule(ScheduleProgram* record);
  // AddSchedule without the adding; a wake-up record it displaces is
  // removed all the same.
  std::string CheckAddSchedule(ScheduleProgram* record);
  // Replaces the record of the same ID: with `updateFile` its Clone goes to
  // the end of the list, enabled; without, the record is overwritten in
  // place with every field. An unknown ID changes nothing and succeeds.
  std::string UpdateSchedule(ScheduleProgram* record, bool updateFile);
  // The replacement of UpdateSchedule without validation or conflict test.
  std::string ModifyStatus(ScheduleProgram* record, bool updateFile);
  // Removes the first record of that ID; the file is rewritten either way.
  bool RemoveSchedule(std::string_view id);
  // Removes the record of the conflict ID, which nothing sets.
  bool DelAnotherAPTimeConflictSp();
  const std::string& ConflictId() const { return conflictId_; }

  // The first record of that ID (exact match); "Schedule Not Found" otherwise.
  quorvane::platform::Result<ScheduleRecord> FindSchedule(std::string_view id) const;

  // The list without the wake-up-only record, which clients never see.
  ScheduleList VisibleList() const;
  std::size_t VisibleCount() const;
  quorvane::platform::Result<ScheduleRecord> VisibleAt(std::size_t index) const;

  // The whole list, in insertion order.
  const ScheduleList& List() const { return list_; }
  // The list as last published; any thread.
  std::shared_ptr<const ScheduleList> Snapshot() const;

  // The earliest next start after now of an enabled record; 0 for none.
  std::int64_t NearestTime() const;
  // Sets the wake-up-only record to start the whole minutes of `seconds`
  // from now: creates it when missing (false, creating nothing, for less
  // than a minute), or moves it (to time 0, which never comes, for less
  // than a minute).
  bool SetWakeUpSchedule(std::int32_t seconds);
  // The capture application of the wake-up record; empty when it is not
  // registered.
  std::string GetWakeUpAPPath() const;

  // The monitor thread's selection: fills the due list from the current
  // snapshot and returns whether it found any.
  bool CollectDue(DueMode mode);
  const ScheduleList& DueList() const { return due_; }

 protected:
  void Run() override;

 private:
  std::int64_t Now() const;
  void LoadSchedules();
  void Publish();
  void MarkChangedAndSave();
  // Steps shared by add and check: validation, wake-up displacement and the
  // conflict loop. The failure word, or nothing.
  std::optional<std::string> Screen(ScheduleProgram* record);
  void DisplaceWakeUp(const ScheduleProgram& record, std::int64_t now);
  // The error word of the first enabled record of the same device that
  // conflicts with `record`; every conflicting record gets the conflict
  // word as its error.
  std::optional<std::string> FindBlocking(const ScheduleProgram& record, std::int64_t now, bool skipSameId);
  void StoreUpdate(ScheduleProgram& record, bool updateFile);
  ScheduleList::iterator FindById(std::string_view id);
  ScheduleList::const_iterator FindById(std::string_view id) const;

  SERVICE::WindowPoster& window_;
  SERVICE::ServiceLog& log_;
  const ScheduleFile file_;
  const quorvane::platform::Registry registry_;

  ScheduleList list_;
  bool changed_ = false;
  std::string conflictId_;

  mutable std::mutex snapshotMutex_;
  std::shared_ptr<const ScheduleList> snapshot_;

  ScheduleList due_;
};

}  // namespace TESKTV::SCHEDULE
