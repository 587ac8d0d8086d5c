#include "service/monitor/ScheduleMonitor.h"

#include <algorithm>
#include <chrono>
#include <vector>

#include "platform/base/Utf16.h"
#include "platform/clock/LocalTime.h"
#include "service/messages/ServiceMessages.h"
#include "service/monitor/ScheduleErrors.h"
#include "service/monitor/ScheduleRules.h"

namespace TESKTV::SCHEDULE {

namespace platform = quorvane::platform;
using namespace std::chrono_literals;

namespace {

platform::Clock& ClockOf(const MonitorOptions& options) {
  return options.clock != nullptr ? *options.clock : platform::RealClock();
}

SERVICE::ServiceLog& LogOf(const MonitorOptions& options) {
  return options.log != nullptr ? *options.log : SERVICE::ServiceLog::Process();
}

platform::Registry RegistryOf(const MonitorOptions& options) {
  return options.registry ? platform::Registry(*options.registry) : platform::Registry();
}

// The pause between two TESK_ACTIVE_SCHEDULE messages of one pass.
constexpr auto kPauseBetweenActivations = 500ms;

}  // namespace

ScheduleMonitor::ScheduleMonitor(SERVICE::WindowPoster& window, std::string path, MonitorOptions options)
    : TeskThread(ClockOf(options), options.is64BitSystem),
      window_(window),
      log_(LogOf(options)),
      file_(std::move(path)),
      registry_(RegistryOf(options)) {
  log_.Printf("[Wakeward][ScheduleMonitor][ScheduleMonitor] ** %s", file_.Path().c_str());
  LoadSchedules();
}

ScheduleMonitor::~ScheduleMonitor() {
  CancelMonitor();
  (void)SaveSchedules();
}

std::int64_t ScheduleMonitor::Now() const {
  return std::chrono::floor<std::chrono::seconds>(clock().Wall().time_since_epoch()).count();
}

bool ScheduleMonitor::StartMonitor() {
  const bool started = Start();
  log_.Printf("[Wakeward][ScheduleMonitor][StartMonitor] b = %d", started ? 1 : 0);
  return started;
}

bool ScheduleMonitor::CancelMonitor() {
  const bool stopped = Stop();
  log_.Printf("[Wakeward][ScheduleMonitor][CancelMonitor] b = %d", stopped ? 1 : 0);
  return stopped;
}

void ScheduleMonitor::LoadSchedules() {
  log_.Printf("[Wakeward][ScheduleMonitor][LoadSchedules] **** %s ****", file_.Path().c_str());
  list_.clear();
  platform::Result<ScheduleFileContents> contents = file_.Load();
  if (!contents) {
    log_.Write("[Wakeward][ScheduleMonitor][LoadSchedules] xml->OpenXML = fail");
    log_.Printf("[Wakeward][ScheduleMonitor][LoadSchedules] %s", contents.error().message.c_str());
    Publish();
    return;
  }
  for (const std::string& refused : contents->refused) {
    log_.Printf("[Wakeward][ScheduleMonitor][LoadSchedules] left out: %s", refused.c_str());
  }
  const std::int64_t now = Now();
  list_.reserve(contents->records.size());
  for (ScheduleProgram& record : contents->records) {
    // A record that fails validation is marked enabled, so that clients see
    // it with its error.
    if (!Validate(record, now)) record.SetEnable(1);
    list_.push_back(std::make_shared<const ScheduleProgram>(std::move(record)));
    log_.Printf("[Wakeward][ScheduleMonitor][LoadSchedules] *nErr = %s", list_.back()->GetID().c_str());
  }
  Publish();
}

platform::Status ScheduleMonitor::SaveSchedules() {
  Publish();
  if (!changed_) return platform::Status::Ok();
  std::vector<const ScheduleProgram*> records;
  records.reserve(list_.size());
  for (const ScheduleRecord& record : list_) records.push_back(record.get());
  platform::Status saved = file_.Save(std::span<const ScheduleProgram* const>(records));
  if (!saved) {
    log_.Printf("[Wakeward][ScheduleMonitor][SaveSchedules] save = fail: %s", saved.error().message.c_str());
    return saved;
  }
  changed_ = false;
  return saved;
}

void ScheduleMonitor::Publish() {
  auto snapshot = std::make_shared<const ScheduleList>(list_);
  std::lock_guard<std::mutex> lock(snapshotMutex_);
  snapshot_ = std::move(snapshot);
}

std::shared_ptr<const ScheduleList> ScheduleMonitor::Snapshot() const {
  std::lock_guard<std::mutex> lock(snapshotMutex_);
  return snapshot_;
}

void ScheduleMonitor::MarkChangedAndSave() {
  changed_ = true;
  (void)SaveSchedules();
}

ScheduleList::iterator ScheduleMonitor::FindById(std::string_view id) {
  return std::find_if(list_.begin(), list_.end(), [id](const ScheduleRecord& r) { return r->GetID() == id; });
}

ScheduleList::const_iterator ScheduleMonitor::FindById(std::string_view id) const {
  return std::find_if(list_.begin(), list_.end(), [id](const ScheduleRecord& r) { return r->GetID() == id; });
}

void ScheduleMonitor::DisplaceWakeUp(const ScheduleProgram& record, std::int64_t now) {
  const auto wakeUp = FindById(kWakeUpOnlyId);
  if (wakeUp != list_.end() && CheckConflict(**wakeUp, record, now)) RemoveSchedule(kWakeUpOnlyId);
}

std::optional<std::string> ScheduleMonitor::FindBlocking(const ScheduleProgram& record, std::int64_t now,
                                                         bool skipSameId) {
  const std::string_view conflict = ErrorWord(ScheduleError::kConflict);
  std::optional<std::string> blocked;
  bool marked = false;
  for (ScheduleRecord& existing : list_) {
    if (skipSameId && existing->GetID() == record.GetID()) continue;
    if (!CheckConflict(*existing, record, now)) continue;
    if (existing->GetError() != conflict) {
      auto copy = std::make_shared<ScheduleProgram>(*existing);
      copy->SetError(std::string(conflict));
      existing = std::move(copy);
      marked = true;
    }
    // Disabled records and those of other devices never block.
    if (existing->GetEnable() != 0 && existing->GetDevice() == record.GetDevice()) {
      blocked = existing->GetError();
      break;
    }
  }
  if (marked) Publish();
  return blocked;
}

std::optional<std::string> ScheduleMonitor::Screen(ScheduleProgram* record) {
  if (record == nullptr) return std::string(ErrorWord(ScheduleError::kNoRecord));
  const std::int64_t now = Now();
  if (record->GetID() != kWakeUpOnlyId && !Validate(*record, now)) return record->GetError();
  DisplaceWakeUp(*record, now);
  return FindBlocking(*record, now, false);
}

std::string ScheduleMonitor::AddSchedule(ScheduleProgram* record) {
  if (std::optional<std::string> failed = Screen(record)) return *failed;
  record->SetEnable(1);
  list_.push_back(std::make_shared<const ScheduleProgram>(record->Clone()));
  MarkChangedAndSave();
  return {};
}

std::string ScheduleMonitor::CheckAddSchedule(ScheduleProgram* record) { return Screen(record).value_or(""); }

void ScheduleMonitor::StoreUpdate(ScheduleProgram& record, bool updateFile) {
  const auto stored = FindById(record.GetID());
  if (stored != list_.end()) {
    if (updateFile) {
      list_.erase(stored);
      record.SetEnable(1);
      list_.push_back(std::make_shared<const ScheduleProgram>(record.Clone()));
    } else {
      *stored = std::make_shared<const ScheduleProgram>(record);
    }
  }
  MarkChangedAndSave();
}

std::string ScheduleMonitor::UpdateSchedule(ScheduleProgram* record, bool updateFile) {
  if (record == nullptr) return std::string(ErrorWord(ScheduleError::kNoRecord));
  const std::int64_t now = Now();
  if (!Validate(*record, now)) return record->GetError();
  DisplaceWakeUp(*record, now);
  if (std::optional<std::string> blocked = FindBlocking(*record, now, true)) return *blocked;
  StoreUpdate(*record, updateFile);
  return {};
}

std::string ScheduleMonitor::ModifyStatus(ScheduleProgram* record, bool updateFile) {
  if (record != nullptr) StoreUpdate(*record, updateFile);
  return {};
}

bool ScheduleMonitor::RemoveSchedule(std::string_view id) {
  const auto stored = FindById(id);
  const bool found = stored != list_.end();
  if (found) list_.erase(stored);
  MarkChangedAndSave();
  return found;
}

bool ScheduleMonitor::DelAnotherAPTimeConflictSp() { return RemoveSchedule(conflictId_); }

platform::Result<ScheduleRecord> ScheduleMonitor::FindSchedule(std::string_view id) const {
  const auto stored = FindById(id);
  if (stored == list_.end()) return platform::MakeError(std::string(kScheduleNotFound));
  return *stored;
}

ScheduleList ScheduleMonitor::VisibleList() const {
  ScheduleList visible;
  visible.reserve(list_.size());
  std::copy_if(list_.begin(), list_.end(), std::back_inserter(visible),
               [](const ScheduleRecord& r) { return r->GetID() != kWakeUpOnlyId; });
  return visible;
}

std::size_t ScheduleMonitor::VisibleCount() const {
  return static_cast<std::size_t>(std::count_if(list_.begin(), list_.end(), [](const ScheduleRecord& r) {
    return r->GetID() != kWakeUpOnlyId;
  }));
}

platform::Result<ScheduleRecord> ScheduleMonitor::VisibleAt(std::size_t index) const {
  std::size_t seen = 0;
  for (const ScheduleRecord& record : list_) {
    if (record->GetID() == kWakeUpOnlyId) continue;
    if (seen++ == index) return record;
  }
  return platform::MakeError("no schedule at index " + std::to_string(index) + " of " + std::to_string(seen));
}

std::int64_t ScheduleMonitor::NearestTime() const { return SCHEDULE::NearestTime(list_, Now()); }

// Minutes are truncated toward zero.
bool ScheduleMonitor::SetWakeUpSchedule(std::int32_t seconds) {
  const std::int32_t minutes = seconds / 60;
  const std::int64_t now = Now();
  const auto stored = FindById(kWakeUpOnlyId);
  if (stored == list_.end()) {
    if (minutes <= 0) return false;
    auto record = std::make_shared<ScheduleProgram>(kWakeUpOnlyId, clock());
    record->SetEnable(1);
    record->SetAction(kWakeUpAction);
    record->SetSchedule(ONCE, now + static_cast<std::int64_t>(minutes) * 60, 1);
    record->SetAPPath(GetWakeUpAPPath());
    list_.push_back(std::move(record));
  } else {
    auto record = std::make_shared<ScheduleProgram>(**stored);
    const std::int64_t start = minutes == 0 ? 0 : now + static_cast<std::int64_t>(minutes) * 60;
    record->SetSchedule(record->GetInterval(), start, record->GetTimeLen());
    record->SetEnable(1);
    record->SetAPPath(GetWakeUpAPPath());
    *stored = std::move(record);
  }
  MarkChangedAndSave();
  return true;
}

std::string ScheduleMonitor::GetWakeUpAPPath() const {
  std::string path;
  platform::Result<platform::RegistryValue> value =
      registry_.GetValue(platform::Hive::LocalMachine, kCaptureAppKey, kCaptureAppValue);
  if (value && value->type == platform::ValueType::String &&
      (platform::Utf16Length(value->text) + 1) * 2 <= kCaptureAppBufferBytes) {
    path = value->text + std::string(kCaptureAppSuffix);
  }
  log_.Printf("[Wakeward][ScheduleMonitor][GetWakeUpAPPath] AP= %s ", path.c_str());
  return path;
}

bool ScheduleMonitor::CollectDue(DueMode mode) {
  const std::shared_ptr<const ScheduleList> snapshot = Snapshot();
  due_ = SCHEDULE::CollectDue(*snapshot, mode, Now());
  return !due_.empty();
}

void ScheduleMonitor::Run() {
  for (;;) {
    // Shorter and shorter waits towards each minute boundary: half the
    // seconds left in the minute.
    const int second = platform::ToLocal(Now()).second;
    WaitTimed(std::chrono::milliseconds((60 - second) * 500));
    if (StopRequested()) return;
    if (CollectDue(DueMode::kDueNow)) {
      log_.Write("[Wakeward][ScheduleMonitor][Run] 1");
      for (std::size_t i = 0; i < due_.size(); ++i) {
        log_.Printf("[Wakeward][ScheduleMonitor][Run] 1: lTimer = %d", static_cast<int>(i));
        window_.Post({SERVICE::TESK_ACTIVE_SCHEDULE, 0, 0, due_[i]});
        if (!Pause(kPauseBetweenActivations)) return;
      }
    } else if (CollectDue(DueMode::kDueSoon)) {
      log_.Write("[Wakeward][ScheduleMonitor][Run] 2");
      log_.Printf("[Wakeward][ScheduleMonitor][Run] 2: lTimer = %d", 0);
      window_.Post({SERVICE::TESK_ACTIVE_AP, 0, 0, due_.front()});
    }
  }
}

}  // namespace TESKTV::SCHEDULE
