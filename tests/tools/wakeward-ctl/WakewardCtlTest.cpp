// wakeward-ctl against the service on a private bus: what people and
// scripts see, and the failure line with the error word, nErr and text.

#include <gtest/gtest.h>
#include <stdlib.h>

#include "interface/client/ScheduleProgramClient.h"
#include "tests/service/automation/ServiceProcess.h"
#include "tests/support/IsolatedLocations.h"
#include "tests/support/PrivateBus.h"
#include "tests/support/TempDir.h"
#include "tools/wakeward-ctl/CtlParse.h"

namespace quorvane::testing {
namespace {

TEST(CtlParseTest, ChannelsStartsDaysAndActions) {
  EXPECT_EQ(ctl::ParseChannel("12")->major, "12");
  EXPECT_EQ(ctl::ParseChannel("12.1")->minor, "1");
  for (const char* bad : {"", "12.", "a", "123456", "1.1234", "1.2.3"}) EXPECT_FALSE(ctl::ParseChannel(bad)) << bad;

  EXPECT_EQ(*ctl::ParseStart("2030-01-02 20:15"), (wire::Date_Time{2030, 1, 2, 20, 15, 0}));
  EXPECT_EQ(*ctl::ParseStart("2030-01-02T20:15:30"), (wire::Date_Time{2030, 1, 2, 20, 15, 30}));
  for (const char* bad : {"2030-13-02 20:15", "2030-01-02", "2030-01-02 20:15x", "tomorrow"}) {
    EXPECT_FALSE(ctl::ParseStart(bad)) << bad;
  }

  EXPECT_EQ(*ctl::ParseDays("mon,Wed,7"), (std::array<std::int32_t, 7>{1, 0, 1, 0, 0, 0, 1}));
  EXPECT_EQ(*ctl::ParseDays("all"), (std::array<std::int32_t, 7>{1, 1, 1, 1, 1, 1, 1}));
  EXPECT_FALSE(ctl::ParseDays("mon,funday"));

  EXPECT_EQ(*ctl::ParseAction("shutdown"), 3);
  EXPECT_EQ(*ctl::ParseAction("4"), 4);
  EXPECT_FALSE(ctl::ParseAction("6"));
}

class WakewardCtlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(bus_.ok()) << bus_.error();
    UseLocationsIn(folder_.path());
    ASSERT_TRUE(service_.Start()) << service_.Output();
    // Holds an instance, so that the service outlives each command's own.
    auto holder = automation::ScheduleProgramClient::Connect();
    ASSERT_TRUE(holder) << holder.error().message;
    holder_ = std::move(*holder);
  }

  RunResult Ctl(std::vector<std::string> words) {
    words.insert(words.begin(), std::getenv("QUORVANE_WAKEWARD_CTL"));
    return RunProgram(words);
  }

  TempDir folder_;
  PrivateBus bus_;
  ServiceProcess service_;
  std::unique_ptr<automation::ScheduleProgramClient> holder_;
};

TEST_F(WakewardCtlTest, AddListShowUpdateDelete) {
  const RunResult added = Ctl({"--json", "add", "--id", "SI_NEWS", "--description", "Late news", "--channel", "12.1",
                               "--start", "2030-01-02 20:00", "--minutes", "45", "--weekly", "mon,fri", "--device",
                               "Box1", "--folder", "/tmp/rec", "--after", "hibernate"});
  ASSERT_EQ(added.exitCode, 0) << added.err;
  EXPECT_EQ(added.out, "{\"ok\":true,\"id\":\"SI_NEWS\",\"nErr\":0}\n");

  const RunResult listed = Ctl({"list"});
  ASSERT_EQ(listed.exitCode, 0) << listed.err;
  EXPECT_NE(listed.out.find("SI_NEWS  2030-01-02 20:00:00  45 min  weekly mon,fri  ch 12.1  Late news"),
            std::string::npos)
      << listed.out;

  const RunResult shown = Ctl({"--json", "show", "SI_NEWS"});
  ASSERT_EQ(shown.exitCode, 0) << shown.err;
  for (const char* field : {"\"description\":\"Late news\"", "\"after\":\"hibernate\"", "\"days\":[1,0,0,0,1,0,0]",
                            "\"folder\":\"/tmp/rec\"", "\"device\":\"Box1\""}) {
    EXPECT_NE(shown.out.find(field), std::string::npos) << field << "\n" << shown.out;
  }

  ASSERT_EQ(Ctl({"update", "SI_NEWS", "--minutes", "90"}).exitCode, 0);
  EXPECT_NE(Ctl({"--json", "show", "SI_NEWS"}).out.find("\"minutes\":90"), std::string::npos);

  ASSERT_EQ(Ctl({"delete", "SI_NEWS"}).exitCode, 0);
  EXPECT_EQ(Ctl({"--json", "list"}).out, "[]\n");
  const RunResult gone = Ctl({"show", "SI_NEWS"});
  EXPECT_EQ(gone.exitCode, 1);
  EXPECT_NE(gone.err.find("ERROR_ID_1 nErr 1"), std::string::npos) << gone.err;
}

TEST_F(WakewardCtlTest, FailuresNameTheWordTheNumberAndTheText) {
  ASSERT_EQ(Ctl({"add", "--id", "SI_A", "--start", "2030-01-02 20:00", "--minutes", "60", "--daily"}).exitCode, 0);
  const RunResult conflict = Ctl({"add", "--id", "SI_B", "--start", "2030-01-02 20:30", "--minutes", "60", "--daily"});
  EXPECT_EQ(conflict.exitCode, 1);
  EXPECT_EQ(conflict.out, "");
  EXPECT_EQ(conflict.err, "wakeward-ctl: ERROR_ID_6 nErr 7 (hr 0x80004005): "
                          "This schedule setting conflicts with another existing schedule.\n");

  const RunResult noDays = Ctl({"add", "--start", "2030-01-02 08:00", "--weekly", "mon", "--minutes", "0"});
  EXPECT_EQ(noDays.exitCode, 1);
  EXPECT_NE(noDays.err.find("ERROR_ID_2 nErr 2 (hr 0x80004005): Recording time error."), std::string::npos)
      << noDays.err;

  const RunResult wakeUp = Ctl({"wakeup", "30"});
  EXPECT_EQ(wakeUp.exitCode, 1);
  EXPECT_NE(wakeUp.err.find("E_FAIL"), std::string::npos);

  EXPECT_EQ(Ctl({"add", "--start", "yesterday"}).exitCode, 2);
  EXPECT_EQ(Ctl({"frobnicate"}).exitCode, 2);
  EXPECT_EQ(Ctl({"--json", "sleep-time", "get"}).out, "{\"lCategory\":0,\"category\":\"standby\",\"lTime\":0}\n");
}

TEST_F(WakewardCtlTest, WithoutTheServiceItSaysSoAndFails) {
  holder_.reset();
  ASSERT_TRUE(service_.WaitForExit(std::chrono::seconds(20)));
  const RunResult result = Ctl({"list"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.err.find("CreateInstance"), std::string::npos) << result.err;
}

}  // namespace
}  // namespace quorvane::testing
