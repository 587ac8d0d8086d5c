// The list operations of the monitor, on a real schedule file.

#include <gtest/gtest.h>

#include <memory>

#include "platform/registry/Registry.h"
#include "service/monitor/ScheduleErrors.h"
#include "service/monitor/ScheduleMonitor.h"
#include "service/monitor/ScheduleRules.h"
#include "service/schedule/ScheduleFile.h"
#include "tests/service/monitor/MonitorTestSupport.h"

namespace TESKTV::SCHEDULE {
namespace {

namespace platform = quorvane::platform;
using testing::Local;
using testing::MakeSchedule;
using testing::ReadFile;
using testing::WallAt;
using testing::WriteFile;

constexpr DayOfWeeks kMonday{1, 0, 0, 0, 0, 0, 0};
constexpr DayOfWeeks kSunday{0, 0, 0, 0, 0, 0, 1};

class ScheduleMonitorListTest : public ::testing::Test, private testing::BerlinTimePinned {
 protected:
  // Monday 2026-06-01 12:00:00 in Berlin.
  ScheduleMonitorListTest() : clock_(WallAt(Local(2026, 6, 1, 12, 0, 0))), folder_(clock_), window_(clock_) {}

  void SetUp() override { ASSERT_TRUE(CheckScheduleXML(folder_.ScheduleFile())); }

  std::unique_ptr<ScheduleMonitor> Open() {
    MonitorOptions options;
    options.clock = &clock_;
    options.log = &folder_.log();
    options.registry = platform::RegistryLocations::FromEnvironment();
    return std::make_unique<ScheduleMonitor>(window_, folder_.ScheduleFile(), options);
  }

  std::int64_t Now() const { return testing::SecondsOf(clock_.Wall()); }

  // What the file holds, read back as a fresh monitor would.
  std::vector<std::string> StoredIds() const {
    std::vector<std::string> ids;
    auto contents = ScheduleFile(folder_.ScheduleFile()).Load();
    EXPECT_TRUE(contents.ok());
    if (contents) {
      for (const ScheduleProgram& record : contents->records) ids.push_back(record.GetID());
    }
    return ids;
  }

  static std::vector<std::string> Ids(const ScheduleList& list) {
    std::vector<std::string> ids;
    for (const ScheduleRecord& record : list) ids.push_back(record->GetID());
    return ids;
  }

  static std::int32_t Code(const std::string& word) { return ErrorNumber(word); }

  void SetCaptureAppPath(const std::string& path) {
    platform::Registry registry(platform::RegistryLocations::FromEnvironment());
    ASSERT_TRUE(registry.SetValue(platform::Hive::LocalMachine, kCaptureAppKey, kCaptureAppValue,
                                  platform::RegistryValue::String(path)));
  }

  platform::SimulatedClock clock_;
  testing::ServiceFolder folder_;
  testing::RecordingWindow window_;
};

TEST_F(ScheduleMonitorListTest, AFreshFileGivesAnEmptyListAndTheLogNamesThePath) {
  auto monitor = Open();
  EXPECT_TRUE(monitor->List().empty());
  EXPECT_EQ(monitor->VisibleCount(), 0u);
  const std::string path = folder_.ScheduleFile();
  EXPECT_TRUE(folder_.Logged("[Wakeward][ScheduleMonitor][ScheduleMonitor] ** " + path));
  EXPECT_TRUE(folder_.Logged("[Wakeward][ScheduleMonitor][LoadSchedules] **** " + path + " ****"));
  EXPECT_FALSE(folder_.Logged("[Wakeward][ScheduleMonitor][LoadSchedules] xml->OpenXML = fail"));
}

TEST_F(ScheduleMonitorListTest, AnUnreadableFileGivesAnEmptyListAndTheNextChangeWritesAFreshOne) {
  WriteFile(folder_.ScheduleFile(), "<schedules><schedule id='x'>");
  auto monitor = Open();
  EXPECT_TRUE(monitor->List().empty());
  EXPECT_TRUE(folder_.Logged("[Wakeward][ScheduleMonitor][LoadSchedules] xml->OpenXML = fail"));
  ScheduleProgram record = MakeSchedule("new", DAILY, Local(2026, 6, 1, 20, 0), 30);
  EXPECT_EQ(monitor->AddSchedule(&record), "");
  EXPECT_EQ(StoredIds(), std::vector<std::string>{"new"});
}

TEST_F(ScheduleMonitorListTest, LoadingValidatesEveryRecordAndEnablesTheFailedOnes) {
  ScheduleProgram past = MakeSchedule("past", ONCE, Local(2026, 5, 31, 20, 0), 30);
  past.SetEnable(0);
  ScheduleProgram daily = MakeSchedule("daily", DAILY, Local(2026, 5, 27, 20, 0), 30, {1, 1, 1, 1, 1, 1, 1});
  daily.SetEnable(0);
  ScheduleProgram noDays = MakeSchedule("weekly", WEEKLY, Local(2026, 5, 27, 20, 0), 30);
  noDays.SetEnable(1);
  ASSERT_TRUE(ScheduleFile(folder_.ScheduleFile()).Save(std::vector<ScheduleProgram>{past, daily, noDays}));

  auto monitor = Open();
  ASSERT_EQ(Ids(monitor->List()), (std::vector<std::string>{"past", "daily", "weekly"}));
  const ScheduleProgram& loadedPast = *monitor->List()[0];
  EXPECT_EQ(loadedPast.GetError(), "ERROR_ID_5");
  EXPECT_EQ(loadedPast.GetEnable(), 1);
  const ScheduleProgram& loadedDaily = *monitor->List()[1];
  EXPECT_EQ(loadedDaily.GetError(), "");
  EXPECT_EQ(loadedDaily.GetEnable(), 0);
  EXPECT_EQ(loadedDaily.GetDayOfWeeks(), (DayOfWeeks{0, 0, 1, 0, 0, 0, 0}));  // a Wednesday
  EXPECT_EQ(monitor->List()[2]->GetError(), "ERROR_ID_8");
  for (const char* id : {"past", "daily", "weekly"}) {
    EXPECT_TRUE(folder_.Logged(std::string("[Wakeward][ScheduleMonitor][LoadSchedules] *nErr = ") + id)) << id;
  }
}

TEST_F(ScheduleMonitorListTest, ANodeWithoutIdIsKeptEnabledWithTheMissingRecordError) {
  WriteFile(folder_.ScheduleFile(),
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<schedules>\n\t<schedule>\n"
            "\t\t<enable>0</enable>\n\t</schedule>\n</schedules>\n");
  auto monitor = Open();
  ASSERT_EQ(monitor->List().size(), 1u);
  EXPECT_EQ(monitor->List()[0]->GetID(), "");
  EXPECT_EQ(monitor->List()[0]->GetError(), "ERROR_ID_1");
  EXPECT_EQ(monitor->List()[0]->GetEnable(), 1);
  EXPECT_TRUE(folder_.Logged("[Wakeward][ScheduleMonitor][LoadSchedules] *nErr = "));
}

TEST_F(ScheduleMonitorListTest, AddValidatesAndStoresAClone) {
  auto monitor = Open();
  clock_.Advance(std::chrono::milliseconds(700));  // 12:00:00.7: the same second still
  ScheduleProgram now = MakeSchedule("now", ONCE, Now(), 30);
  now.SetRecord("/videos", "client.ts", 0);
  now.SetStartDTime(Now() + 5);
  EXPECT_EQ(monitor->AddSchedule(&now), "");
  ScheduleProgram early = MakeSchedule("early", ONCE, Now() - 1, 30);
  EXPECT_EQ(Code(monitor->AddSchedule(&early)), 5);
  ScheduleProgram wakeLike = MakeSchedule("wake", ONCE, Now() + 3600, 0);
  wakeLike.SetAction(kWakeUpAction);
  EXPECT_EQ(monitor->AddSchedule(&wakeLike), "");
  ScheduleProgram empty = MakeSchedule("empty", ONCE, Now() + 7200, 0);
  EXPECT_EQ(Code(monitor->AddSchedule(&empty)), 2);
  ScheduleProgram tooLong = MakeSchedule("long", ONCE, Now() + 7200, 1441);
  EXPECT_EQ(Code(monitor->AddSchedule(&tooLong)), 3);
  ScheduleProgram noDays = MakeSchedule("nodays", WEEKLY, Now() + 7200, 30);
  EXPECT_EQ(Code(monitor->AddSchedule(&noDays)), 6);
  EXPECT_EQ(Code(monitor->AddSchedule(nullptr)), 1);

  ASSERT_EQ(Ids(monitor->List()), (std::vector<std::string>{"now", "wake"}));
  EXPECT_EQ(StoredIds(), (std::vector<std::string>{"now", "wake"}));
  const ScheduleProgram& stored = *monitor->FindSchedule("now").value();
  EXPECT_EQ(stored.GetEnable(), 1);
  EXPECT_EQ(stored.GetError(), "Not Ready!!");
  EXPECT_EQ(stored.GetStartDTime(), 0);
  EXPECT_EQ(stored.GetRecFile(), "");
  EXPECT_EQ(stored.GetRecPath(), "/videos");
  EXPECT_EQ(monitor->FindSchedule("wake").value()->GetTimeLen(), 1);
  EXPECT_FALSE(monitor->IsChanged());
}

TEST_F(ScheduleMonitorListTest, ConflictsBlockOnlyEnabledSchedulesOfTheSameDevice) {
  struct Case {
    const char* what;
    ScheduleProgram existing;
    bool existingEnabled;
    ScheduleProgram candidate;
    std::int32_t nErr;
  };
  const std::int64_t monday = Local(2026, 6, 1, 0, 0);
  auto at = [monday](int hour, int minute) { return monday + (hour * 60 + minute) * 60; };
  const Case cases[] = {
      {"DAILY 20-21 then 21-22", MakeSchedule("E", DAILY, at(20, 0), 60), true,
       MakeSchedule("N", DAILY, at(21, 0), 60), 0},
      {"DAILY 20-21 then 20:59-21:30", MakeSchedule("E", DAILY, at(20, 0), 60), true,
       MakeSchedule("N", DAILY, at(20, 59), 31), 7},
      {"DAILY 23:30 for an hour then DAILY 00:15", MakeSchedule("E", DAILY, at(23, 30), 60), true,
       MakeSchedule("N", DAILY, at(24 + 0, 15), 10), 7},
      {"WEEKLY Sunday 23:30 then WEEKLY Monday 00:10",
       MakeSchedule("E", WEEKLY, at(6 * 24 + 23, 30), 60, kSunday), true,
       MakeSchedule("N", WEEKLY, at(7 * 24, 10), 10, kMonday), 7},
      {"same times on another device", MakeSchedule("E", DAILY, at(20, 0), 60), true,
       MakeSchedule("N", DAILY, at(20, 30), 60, {}, "Satellite Box"), 0},
      {"same times, existing disabled", MakeSchedule("E", DAILY, at(20, 0), 60), false,
       MakeSchedule("N", DAILY, at(20, 30), 60), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(CheckScheduleXML(folder_.ScheduleFile()));
    ScheduleProgram existing = c.existing;
    existing.SetEnable(c.existingEnabled ? 1 : 0);
    ASSERT_TRUE(ScheduleFile(folder_.ScheduleFile()).Save(std::vector<ScheduleProgram>{existing}));
    auto monitor = Open();
    ScheduleProgram check = c.candidate;
    EXPECT_EQ(Code(monitor->CheckAddSchedule(&check)), c.nErr);
    EXPECT_EQ(monitor->List().size(), 1u);
    ScheduleProgram candidate = c.candidate;
    EXPECT_EQ(Code(monitor->AddSchedule(&candidate)), c.nErr);
    EXPECT_EQ(StoredIds().size(), c.nErr == 0 ? 2u : 1u);
    // The blocking record carries the conflict word until the next reload.
    if (c.nErr != 0) {
      EXPECT_EQ(monitor->FindSchedule("E").value()->GetError(), "ERROR_ID_6");
    }
  }
}

TEST_F(ScheduleMonitorListTest, AnExpiredOnceScheduleNeverBlocks) {
  ASSERT_TRUE(ScheduleFile(folder_.ScheduleFile())
                  .Save(std::vector<ScheduleProgram>{MakeSchedule("old", ONCE, Now() - 60, 120)}));
  auto monitor = Open();
  ScheduleProgram daily = MakeSchedule("daily", DAILY, Now() + 60, 30);
  EXPECT_EQ(monitor->AddSchedule(&daily), "");
  EXPECT_EQ(monitor->FindSchedule("old").value()->GetError(), "ERROR_ID_5");
}

TEST_F(ScheduleMonitorListTest, AnOverlappingScheduleDisplacesTheWakeUpRecordEvenWhenItFails) {
  {
    auto monitor = Open();
    ScheduleProgram blocker = MakeSchedule("blocker", DAILY, Local(2026, 6, 1, 12, 10), 60);
    ASSERT_EQ(monitor->AddSchedule(&blocker), "");
    ASSERT_TRUE(monitor->SetWakeUpSchedule(600));  // 12:10
  }
  // As after the reload that follows a change: the wake-up record is read
  // back and validated.
  {
    auto monitor = Open();
    ASSERT_EQ(Ids(monitor->List()), (std::vector<std::string>{"blocker", "SI_WAKEUP_ONLY"}));
    ScheduleProgram check = MakeSchedule("check", ONCE, Local(2026, 6, 1, 12, 5), 30);
    EXPECT_EQ(Code(monitor->CheckAddSchedule(&check)), 7);
    EXPECT_EQ(Ids(monitor->List()), std::vector<std::string>{"blocker"});
    EXPECT_EQ(StoredIds(), std::vector<std::string>{"blocker"});
  }
  {
    auto monitor = Open();
    ASSERT_TRUE(monitor->SetWakeUpSchedule(600));
  }
  {
    auto monitor = Open();
    ScheduleProgram add = MakeSchedule("add", ONCE, Local(2026, 6, 1, 12, 5), 30);
    EXPECT_EQ(Code(monitor->AddSchedule(&add)), 7);
    EXPECT_EQ(StoredIds(), std::vector<std::string>{"blocker"});
    // A schedule apart from it leaves it alone.
    ASSERT_TRUE(monitor->SetWakeUpSchedule(600));
    ScheduleProgram apart = MakeSchedule("apart", DAILY, Local(2026, 6, 1, 18, 0), 30);
    EXPECT_EQ(monitor->AddSchedule(&apart), "");
    EXPECT_EQ(StoredIds(), (std::vector<std::string>{"blocker", "SI_WAKEUP_ONLY", "apart"}));
  }
}

TEST_F(ScheduleMonitorListTest, UpdateReplacesTheRecordOfItsId) {
  auto monitor = Open();
  for (const char* id : {"a", "b", "c"}) {
    ScheduleProgram record = MakeSchedule(id, DAILY, Local(2026, 6, 1, 8 + 2 * (id[0] - 'a'), 0), 60);
    ASSERT_EQ(monitor->AddSchedule(&record), "");
  }
  // Its own old time does not block a record.
  ScheduleProgram moved = MakeSchedule("a", DAILY, Local(2026, 6, 1, 8, 30), 60);
  moved.SetEnable(0);
  moved.SetRecord("/new", "client.ts", 0);
  EXPECT_EQ(monitor->UpdateSchedule(&moved, true), "");
  EXPECT_EQ(Ids(monitor->List()), (std::vector<std::string>{"b", "c", "a"}));
  EXPECT_EQ(monitor->List().back()->GetEnable(), 1);
  EXPECT_EQ(monitor->List().back()->GetRecFile(), "");
  EXPECT_EQ(StoredIds(), (std::vector<std::string>{"b", "c", "a"}));

  // Without the file update the record is overwritten in place, every field.
  ScheduleProgram inPlace = MakeSchedule("b", DAILY, Local(2026, 6, 1, 10, 15), 30);
  inPlace.SetEnable(0);
  inPlace.SetRecord("/new", "client.ts", 0);
  inPlace.SetError("kept");
  EXPECT_EQ(monitor->UpdateSchedule(&inPlace, false), "");
  EXPECT_EQ(Ids(monitor->List()), (std::vector<std::string>{"b", "c", "a"}));
  EXPECT_EQ(monitor->List()[0]->GetEnable(), 0);
  EXPECT_EQ(monitor->List()[0]->GetRecFile(), "client.ts");
  EXPECT_EQ(monitor->List()[0]->GetError(), "kept");

  // Into another record's time: refused, nothing changes.
  ScheduleProgram clash = MakeSchedule("a", DAILY, Local(2026, 6, 1, 12, 30), 60);
  EXPECT_EQ(Code(monitor->UpdateSchedule(&clash, true)), 7);
  ScheduleProgram invalid = MakeSchedule("a", ONCE, Now() - 1, 60);
  EXPECT_EQ(Code(monitor->UpdateSchedule(&invalid, true)), 5);
  EXPECT_EQ(Ids(monitor->List()), (std::vector<std::string>{"b", "c", "a"}));
  EXPECT_EQ(Code(monitor->UpdateSchedule(nullptr, true)), 1);
}

TEST_F(ScheduleMonitorListTest, UpdateOfAnUnknownIdSucceedsChangesNothingAndRewritesTheFile) {
  auto monitor = Open();
  ScheduleProgram record = MakeSchedule("a", DAILY, Local(2026, 6, 1, 8, 0), 60);
  ASSERT_EQ(monitor->AddSchedule(&record), "");
  const std::string written = ReadFile(folder_.ScheduleFile());
  WriteFile(folder_.ScheduleFile(), std::string(kEmptyScheduleFile));
  ScheduleProgram unknown = MakeSchedule("zz", DAILY, Local(2026, 6, 1, 18, 0), 60);
  EXPECT_EQ(monitor->UpdateSchedule(&unknown, true), "");
  EXPECT_EQ(Ids(monitor->List()), std::vector<std::string>{"a"});
  EXPECT_EQ(ReadFile(folder_.ScheduleFile()), written);
}

TEST_F(ScheduleMonitorListTest, ModifyStatusStoresWithoutAnyChecks) {
  auto monitor = Open();
  ScheduleProgram record = MakeSchedule("a", ONCE, Now() + 60, 60);
  ASSERT_EQ(monitor->AddSchedule(&record), "");
  clock_.Advance(std::chrono::minutes(5));
  // Past its start now: an update would be refused, a status change is not.
  ScheduleProgram status = *monitor->FindSchedule("a").value();
  status.SetRecordStatus(2);
  ScheduleProgram refused = status;
  EXPECT_EQ(Code(monitor->UpdateSchedule(&refused, true)), 5);
  EXPECT_EQ(monitor->ModifyStatus(&status, true), "");
  EXPECT_EQ(monitor->FindSchedule("a").value()->GetRecordStatus(), 2);
  EXPECT_EQ(monitor->ModifyStatus(nullptr, true), "");
  auto reloaded = Open();
  EXPECT_EQ(reloaded->FindSchedule("a").value()->GetRecordStatus(), 2);
}

TEST_F(ScheduleMonitorListTest, RemoveRewritesTheFileWhetherOrNotItFoundTheRecord) {
  auto monitor = Open();
  ScheduleProgram record = MakeSchedule("a", DAILY, Local(2026, 6, 1, 8, 0), 60);
  ASSERT_EQ(monitor->AddSchedule(&record), "");
  const std::string written = ReadFile(folder_.ScheduleFile());
  WriteFile(folder_.ScheduleFile(), std::string(kEmptyScheduleFile));
  EXPECT_FALSE(monitor->RemoveSchedule("A"));  // IDs match exactly
  EXPECT_EQ(ReadFile(folder_.ScheduleFile()), written);
  WriteFile(folder_.ScheduleFile(), std::string(kEmptyScheduleFile));
  EXPECT_FALSE(monitor->DelAnotherAPTimeConflictSp());
  EXPECT_EQ(monitor->ConflictId(), "");
  EXPECT_EQ(ReadFile(folder_.ScheduleFile()), written);
  EXPECT_TRUE(monitor->RemoveSchedule("a"));
  EXPECT_TRUE(StoredIds().empty());
  EXPECT_FALSE(monitor->FindSchedule("a").ok());
  EXPECT_EQ(monitor->FindSchedule("a").error().message, "Schedule Not Found");
}

TEST_F(ScheduleMonitorListTest, ClientsNeverSeeTheWakeUpRecord) {
  auto monitor = Open();
  ScheduleProgram first = MakeSchedule("first", DAILY, Local(2026, 6, 1, 8, 0), 60);
  ASSERT_EQ(monitor->AddSchedule(&first), "");
  ASSERT_TRUE(monitor->SetWakeUpSchedule(3600));
  ScheduleProgram last = MakeSchedule("last", DAILY, Local(2026, 6, 1, 18, 0), 60);
  ASSERT_EQ(monitor->AddSchedule(&last), "");

  EXPECT_EQ(monitor->List().size(), 3u);
  EXPECT_EQ(monitor->VisibleCount(), 2u);
  EXPECT_EQ(Ids(monitor->VisibleList()), (std::vector<std::string>{"first", "last"}));
  EXPECT_EQ(monitor->VisibleAt(1).value()->GetID(), "last");
  EXPECT_FALSE(monitor->VisibleAt(2).ok());
  EXPECT_TRUE(monitor->FindSchedule("SI_WAKEUP_ONLY").ok());
}

TEST_F(ScheduleMonitorListTest, SetWakeUpCreatesMovesAndStopsTheWakeUpRecord) {
  SetCaptureAppPath("/opt/TotalMedia");
  auto monitor = Open();
  EXPECT_FALSE(monitor->SetWakeUpSchedule(59));
  EXPECT_TRUE(monitor->List().empty());

  clock_.Advance(std::chrono::seconds(7));
  ASSERT_TRUE(monitor->SetWakeUpSchedule(179));  // two whole minutes
  const ScheduleProgram& created = *monitor->FindSchedule("SI_WAKEUP_ONLY").value();
  EXPECT_EQ(created.GetDTime(), Now() + 120);
  EXPECT_EQ(created.GetEnable(), 1);
  EXPECT_EQ(created.GetAction(), kWakeUpAction);
  EXPECT_EQ(created.GetInterval(), ONCE);
  EXPECT_EQ(created.GetTimeLen(), 1);
  EXPECT_EQ(created.GetAPPath(), "/opt/TotalMedia/TotalMedia Studio MV/CaptureModule");
  EXPECT_TRUE(folder_.Logged(
      "[Wakeward][ScheduleMonitor][GetWakeUpAPPath] AP= /opt/TotalMedia/TotalMedia Studio MV/CaptureModule "));
  EXPECT_EQ(StoredIds(), std::vector<std::string>{"SI_WAKEUP_ONLY"});

  ASSERT_TRUE(monitor->SetWakeUpSchedule(600));
  EXPECT_EQ(monitor->FindSchedule("SI_WAKEUP_ONLY").value()->GetDTime(), Now() + 600);
  // Less than a minute: the record stays, at time zero, which never comes.
  ASSERT_TRUE(monitor->SetWakeUpSchedule(59));
  EXPECT_EQ(monitor->FindSchedule("SI_WAKEUP_ONLY").value()->GetDTime(), 0);
  EXPECT_EQ(monitor->List().size(), 1u);
  EXPECT_EQ(monitor->NearestTime(), 0);
}

TEST_F(ScheduleMonitorListTest, TheCaptureApplicationPathNeedsItsRegistryValue) {
  auto monitor = Open();
  EXPECT_EQ(monitor->GetWakeUpAPPath(), "");
  EXPECT_TRUE(folder_.Logged("[Wakeward][ScheduleMonitor][GetWakeUpAPPath] AP=  "));
  // 129 units and the terminator fill the 260 bytes; one more does not fit.
  SetCaptureAppPath(std::string(129, 'a'));
  EXPECT_EQ(monitor->GetWakeUpAPPath(), std::string(129, 'a') + "/TotalMedia Studio MV/CaptureModule");
  SetCaptureAppPath(std::string(130, 'a'));
  EXPECT_EQ(monitor->GetWakeUpAPPath(), "");
}

TEST_F(ScheduleMonitorListTest, RecordsHandedOutStayAsTheyWereWhenTheListChanges) {
  auto monitor = Open();
  ScheduleProgram record = MakeSchedule("a", DAILY, Local(2026, 6, 1, 8, 0), 60);
  ASSERT_EQ(monitor->AddSchedule(&record), "");
  const ScheduleRecord before = monitor->FindSchedule("a").value();
  const std::shared_ptr<const ScheduleList> snapshot = monitor->Snapshot();

  ScheduleProgram changed = MakeSchedule("a", DAILY, Local(2026, 6, 1, 9, 0), 60);
  ASSERT_EQ(monitor->UpdateSchedule(&changed, false), "");
  ASSERT_TRUE(monitor->RemoveSchedule("a"));
  EXPECT_EQ(before->GetDTime(), Local(2026, 6, 1, 8, 0));
  ASSERT_EQ(snapshot->size(), 1u);
  EXPECT_EQ(snapshot->front(), before);
  EXPECT_TRUE(monitor->Snapshot()->empty());
}

TEST_F(ScheduleMonitorListTest, AFailedSaveKeepsTheMarkAndSaysSo) {
  const std::string blocked = folder_.File("not-a-folder");
  WriteFile(blocked, "");
  MonitorOptions options;
  options.clock = &clock_;
  options.log = &folder_.log();
  ScheduleMonitor monitor(window_, blocked + "/anna.xml", options);
  ScheduleProgram record = MakeSchedule("a", DAILY, Local(2026, 6, 1, 8, 0), 60);
  EXPECT_EQ(monitor.AddSchedule(&record), "");
  EXPECT_TRUE(monitor.IsChanged());
  bool logged = false;
  for (const std::string& line : folder_.LogLines()) {
    logged = logged || line.rfind("[Wakeward][ScheduleMonitor][SaveSchedules] save = fail: ", 0) == 0;
  }
  EXPECT_TRUE(logged);
}

TEST_F(ScheduleMonitorListTest, TheWakeUpTimeCountsRealMinutesOverTheClockChange) {
  // 01:30 on the night the clock goes forward: an hour later the clock
  // shows 03:30.
  clock_.SetWall(WallAt(Local(2026, 3, 29, 1, 30)));
  auto monitor = Open();
  ASSERT_TRUE(monitor->SetWakeUpSchedule(3600));
  const quorvane::wire::SCHEDULE_PROGRAM_BOX box = monitor->FindSchedule("SI_WAKEUP_ONLY").value()->ToBox();
  EXPECT_EQ(box.dtime, (quorvane::wire::Date_Time{2026, 3, 29, 3, 30, 0}));
  // The nearest start of a DAILY 03:00 schedule is half an hour away then.
  ScheduleProgram daily = MakeSchedule("daily", DAILY, Local(2026, 3, 20, 3, 0), 10);
  ASSERT_EQ(monitor->AddSchedule(&daily), "");
  EXPECT_EQ(monitor->NearestTime() - Now(), 30 * 60);
}

}  // namespace
}  // namespace TESKTV::SCHEDULE
