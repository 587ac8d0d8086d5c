// The service as a plain process on a private bus, driven through the
// client proxy as every program drives it.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "interface/bus/ScheduleProgramBus.h"
#include "interface/client/ScheduleProgramClient.h"
#include "platform/winmsg/SdBus.h"
#include "tests/service/automation/AutomationTestSupport.h"
#include "tests/service/automation/ServiceProcess.h"
#include "tests/support/IsolatedLocations.h"
#include "tests/support/PrivateBus.h"
#include "tests/support/TempDir.h"

namespace quorvane::testing {
namespace {

using automation::ScheduleProgramClient;
using platform::E_FAIL;
using platform::E_INVALIDARG;
using platform::S_OK;

class AutomationBusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(bus_.ok()) << bus_.error();
    UseLocationsIn(folder_.path());
    ASSERT_TRUE(service_.Start()) << service_.Output();
  }

  std::unique_ptr<ScheduleProgramClient> Connect() {
    auto client = ScheduleProgramClient::Connect({automation::BusChoice::kAuto, std::chrono::seconds(20)});
    EXPECT_TRUE(client) << (client ? "" : client.error().message);
    return client ? std::move(*client) : nullptr;
  }

  std::string ScheduleFile() const {
    const char* user = ::getenv("USER");
    for (const auto& entry : std::filesystem::directory_iterator(folder_.path() + "/data/Quorvane")) {
      if (entry.path().extension() == ".xml") return entry.path().string();
    }
    return folder_.path() + "/data/Quorvane/" + (user ? user : "") + ".xml";
  }

  static std::string Contents(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  TempDir folder_;
  PrivateBus bus_;
  ServiceProcess service_;
};

TEST_F(AutomationBusTest, ConflictingAddFailsWithNErr7AndUnknownUpdateSucceeds) {
  auto client = Connect();
  ASSERT_TRUE(client);
  EXPECT_EQ(client->busKind(), automation::BusKind::kSession);

  auto first = client->AddScheduleProgram2(DailyBox("SI_A", 20, 0, 60));
  ASSERT_TRUE(first);
  EXPECT_EQ(first->hr, S_OK);
  EXPECT_EQ(first->nErr, 0);

  auto conflicting = client->AddScheduleProgram2(DailyBox("SI_B", 20, 30, 60));
  ASSERT_TRUE(conflicting);
  EXPECT_EQ(conflicting->hr, E_FAIL);
  EXPECT_EQ(conflicting->nErr, 7);

  auto check = client->CheckAddingScheduleProgram(DailyBox("SI_C", 20, 59, 10));
  ASSERT_TRUE(check);
  EXPECT_EQ(check->hr, E_FAIL);
  EXPECT_EQ(check->nErr, 7);

  auto unknown = client->UpdateScheduleProgram2(DailyBox("SI_UNKNOWN", 8, 0, 30), true);
  ASSERT_TRUE(unknown);
  EXPECT_EQ(unknown->hr, S_OK);
  EXPECT_EQ(unknown->nErr, 0);

  auto count = client->GetScheduleProgramNum();
  ASSERT_TRUE(count);
  EXPECT_EQ(count->hr, S_OK);
  EXPECT_EQ(count->nNum, 1);
  auto stored = client->GetScheduleProgram2("SI_A");
  ASSERT_TRUE(stored);
  ASSERT_EQ(stored->hr, S_OK);
  ASSERT_TRUE(stored->box);
  EXPECT_EQ(wire::GetText(stored->box->description), "News SI_A");
  auto missing = client->GetScheduleProgram2("SI_B");
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->hr, E_FAIL);
  EXPECT_FALSE(missing->box);

  auto deleted = client->DelScheduleProgram("SI_A");
  ASSERT_TRUE(deleted);
  EXPECT_EQ(deleted->hr, S_OK);
  auto again = client->DelScheduleProgram("SI_A");
  ASSERT_TRUE(again);
  EXPECT_EQ(again->hr, E_FAIL);
}

TEST_F(AutomationBusTest, EmptyListLookupsAndShortWakeUpFail) {
  auto client = Connect();
  ASSERT_TRUE(client);
  auto count = client->GetScheduleProgramNum();
  ASSERT_TRUE(count);
  EXPECT_EQ(count->nNum, 0);
  for (std::int32_t index : {0, -1, 5}) {
    auto byIndex = client->GetScheduleProgramEx2(index);
    ASSERT_TRUE(byIndex);
    EXPECT_EQ(byIndex->hr, E_FAIL) << index;
    EXPECT_FALSE(byIndex->box) << index;
  }
  auto wakeUp = client->SetWakeUp(30);
  ASSERT_TRUE(wakeUp);
  EXPECT_EQ(wakeUp->hr, E_FAIL);
  auto conflictSp = client->DelAnotherAPTimeConflictSp();
  ASSERT_TRUE(conflictSp);
  EXPECT_EQ(conflictSp->hr, E_FAIL);
  // A wake-up record is never listed.
  auto longWakeUp = client->SetWakeUp(600);
  ASSERT_TRUE(longWakeUp);
  EXPECT_EQ(longWakeUp->hr, S_OK);
  count = client->GetScheduleProgramNum();
  ASSERT_TRUE(count);
  EXPECT_EQ(count->nNum, 0);
}

TEST_F(AutomationBusTest, MalformedRecordsFailCleanlyAndChangeNothing) {
  auto client = Connect();
  ASSERT_TRUE(client);
  ASSERT_EQ(client->AddScheduleProgram2(DailyBox("SI_KEEP", 7, 0, 30))->hr, S_OK);
  const std::string before = Contents(ScheduleFile());

  std::vector<std::uint8_t> shortRecord(100, 0);
  std::vector<std::uint8_t> unterminated = wire::EncodeToVector(DailyBox("SI_X", 9, 0, 30));
  for (std::size_t i = 512; i < 1024; i += 2) unterminated[i] = 'a';  // description without its zero
  wire::SCHEDULE_PROGRAM_BOX badMonth = DailyBox("SI_Y", 9, 0, 30);
  badMonth.dtime.mm = 13;
  wire::SCHEDULE_PROGRAM_BOX noSuchDay = DailyBox("SI_Z", 9, 0, 30);
  noSuchDay.dtime = wire::Date_Time{2030, 2, 30, 9, 0, 0};
  noSuchDay.startdtime = noSuchDay.dtime;

  for (const char* method : {"AddScheduleProgram2", "CheckAddingScheduleProgram"}) {
    for (const auto& bytes : {shortRecord, unterminated, wire::EncodeToVector(badMonth)}) {
      auto reply = client->CallWithRecord(method, bytes, std::nullopt);
      ASSERT_TRUE(reply) << method;
      EXPECT_EQ(reply->hr, E_INVALIDARG) << method;
      EXPECT_EQ(reply->nErr, 0) << method;
    }
  }
  for (const auto& bytes : {shortRecord, wire::EncodeToVector(badMonth)}) {
    auto reply = client->CallWithRecord("UpdateScheduleProgram2", bytes, -1);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->hr, E_INVALIDARG);
  }
  // In range, but not a day of the calendar.
  auto february = client->AddScheduleProgram2(noSuchDay);
  ASSERT_TRUE(february);
  EXPECT_EQ(february->hr, E_FAIL);
  EXPECT_EQ(february->nErr, 0);

  EXPECT_EQ(client->GetScheduleProgramNum()->nNum, 1);
  EXPECT_EQ(Contents(ScheduleFile()), before);
}

TEST_F(AutomationBusTest, OnlyTheSecondInitializeReceivesTheApEvents) {
  auto first = Connect();
  auto second = Connect();
  ASSERT_TRUE(first && second);
  RecordedEvents firstEvents;
  RecordedEvents secondEvents;
  first->Advise(&firstEvents);
  second->Advise(&secondEvents);
  ASSERT_EQ(first->Initialize()->hr, S_OK);
  ASSERT_EQ(second->Initialize()->hr, S_OK);

  // The service tells its "AP" control when it stops.
  service_.Terminate();
  ASSERT_TRUE(PumpUntil({first.get(), second.get()},
                        [&] { return firstEvents.Heard("OnDisconnected") && secondEvents.Heard("OnDisconnected"); }));
  EXPECT_EQ(secondEvents.names, (std::vector<std::string>{"OnStopSchedule", "OnDisconnected"}));
  EXPECT_EQ(firstEvents.names, (std::vector<std::string>{"OnDisconnected"}));
  EXPECT_FALSE(first->IsConnected());
  EXPECT_FALSE(first->GetScheduleProgramNum());
  EXPECT_EQ(service_.WaitForExit(std::chrono::seconds(20)), 0);
}

TEST_F(AutomationBusTest, EventsGoToTheInstancesOwnClientAfterTheCallReturns) {
  auto first = Connect();
  auto second = Connect();
  ASSERT_TRUE(first && second);
  RecordedEvents firstEvents;
  RecordedEvents secondEvents;
  first->Advise(&firstEvents);
  second->Advise(&secondEvents);
  RecordedEvents laterSink;
  const auto laterCookie = first->Advise(&laterSink);

  // The signal comes before the reply; it is kept, not lost and not
  // delivered inside the call.
  ASSERT_EQ(first->InVokeRemainTime(3, 42)->hr, S_OK);
  EXPECT_TRUE(firstEvents.names.empty());
  EXPECT_EQ(first->Timeout(), std::chrono::milliseconds(0));
  ASSERT_TRUE(first->Process());
  EXPECT_EQ(firstEvents.remain, (std::vector<std::pair<std::int32_t, std::int32_t>>{{3, 42}}));
  EXPECT_EQ(laterSink.remain, firstEvents.remain);

  first->Unadvise(laterCookie);
  ASSERT_EQ(first->StopSchedule()->hr, S_OK);
  ASSERT_EQ(first->InVokeCloseAP()->hr, S_OK);
  ASSERT_EQ(first->ActiveSchedule2(DailyBox("SI_EVENT", 20, 0, 5))->hr, S_OK);
  ASSERT_TRUE(PumpUntil({first.get(), second.get()}, [&] { return firstEvents.names.size() == 4; }));
  EXPECT_EQ(firstEvents.names,
            (std::vector<std::string>{"OnInVokeRemainTime", "OnStopSchedule", "OnInvokeCloseAP", "OnActiveSchedule2"}));
  EXPECT_EQ(firstEvents.ids, std::vector<std::string>{"SI_EVENT"});
  EXPECT_EQ(laterSink.names.size(), 1u);
  // The other client's round trip shows that nothing was on its way to it.
  ASSERT_TRUE(second->GetScheduleProgramNum());
  ASSERT_TRUE(second->Process());
  EXPECT_TRUE(secondEvents.names.empty());
}

TEST_F(AutomationBusTest, AnInstanceServesOnlyItsOwnClient) {
  auto owner = Connect();
  auto other = Connect();
  ASSERT_TRUE(owner && other);
  auto bus = platform::sdbus::OpenSessionBus();
  ASSERT_TRUE(bus);
  platform::sdbus::BusError error;
  sd_bus_message* reply = nullptr;
  const int r = sd_bus_call_method(bus->get(), automation::kBusName, owner->instancePath().c_str(),
                                   automation::kInstanceInterface, "GetScheduleProgramNum", error.get(), &reply, "");
  sd_bus_message_unref(reply);
  EXPECT_LT(r, 0);
  EXPECT_TRUE(error.HasName(automation::kAccessDeniedError)) << error.Describe("call", r);
}

TEST_F(AutomationBusTest, BusctlIntrospectsAnInstance) {
  auto client = Connect();
  ASSERT_TRUE(client);
  const RunResult result =
      RunProgram({"/usr/bin/busctl", "--user", "introspect", automation::kBusName, client->instancePath()});
  if (result.exitCode == 127) GTEST_SKIP() << "busctl is not installed";
  ASSERT_EQ(result.exitCode, 0) << result.err;
  for (const char* expected : {"Wakeward.IScheduleProgram", "Wakeward._IScheduleProgramEvents",
                               ".AddScheduleProgram2", "ay", ".OnActiveSchedule2", ".Release"}) {
    EXPECT_NE(result.out.find(expected), std::string::npos) << expected << "\n" << result.out;
  }
}

TEST_F(AutomationBusTest, APlainProcessEndsWhenItsLastInstanceIsReleased) {
  auto first = Connect();
  auto second = Connect();
  ASSERT_TRUE(first && second);
  ASSERT_TRUE(first->Release());
  EXPECT_FALSE(first->GetScheduleProgramNum());  // released
  // One instance is left: the service goes on.
  ASSERT_TRUE(second->GetScheduleProgramNum());
  // A client that goes without releasing ends its instance too.
  second.reset();
  EXPECT_EQ(service_.WaitForExit(std::chrono::seconds(20)), 0);
}

}  // namespace
}  // namespace quorvane::testing
