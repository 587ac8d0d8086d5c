// Box control end to end: the console user's device entry and key file in
// temporary hives, the in-process simulated Q311 and set-top box, and all
// waits on a simulated clock.

#include "service/box/BoxControl.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "common/keydb/KeyFile.h"
#include "common/settings/DeviceRegistry.h"
#include "platform/capture/CaptureDeviceFinder.h"
#include "platform/clock/ClockThread.h"
#include "platform/clock/SimulatedClock.h"
#include "platform/debug/DebugOutput.h"
#include "platform/registry/HiveNames.h"
#include "platform/session/FakeConsoleUserProvider.h"
#include "sim/InProcessDevice.h"
#include "sim/RemoteControl.h"
#include "sim/SimulatedHardware.h"
#include "tests/platform/registry/RegistryTestSupport.h"
#include "tests/service/box/LogFile.h"

namespace TESKTV::SERVICE {
namespace {

namespace fs = std::filesystem;
namespace platform = quorvane::platform;
namespace keydb = quorvane::keydb;
namespace sim = quorvane::sim;
using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

constexpr const char* kDeviceName = "Living Room";
constexpr std::uint32_t kInterval = 400;

// The code the simulated remote sends for the key learned at slot k.
keydb::KeyCode CodeOf(sim::RemoteKey key) { return *platform::EncodeIrCode(sim::RemoteControl::BasePattern(key)); }

struct EntryStyle {
  std::uint32_t displayMode = 0;
  std::uint32_t digital = 1;
  std::uint32_t inputType = 1;
  std::uint32_t hundredKey = 0;
};

class BoxControlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::OpenTestLog(log_, logDir(), clock_);
    hardware_ = std::make_shared<sim::SimulatedHardware>(clock_, 11);
    sources_ = std::make_unique<platform::OverrideCaptureDeviceSources>(
        std::vector<std::shared_ptr<platform::CaptureDeviceSource>>{sim::MakeInProcessDeviceSource(hardware_)});
  }

  fs::path logDir() const { return hives_.folder.path() + "/log"; }
  std::string keyFile() const { return hives_.folder.path() + "/10001.txt"; }
  std::string sid() const { return platform::UserSid(geteuid()); }
  std::string modelKey() const { return std::string(quorvane::kDeviceKeyPath) + "\\" + kDeviceName; }

  // A key file as the wizard writes it: slot k holds the remote's key k
  // (digits, OK, Power, +100, dot); more records use the remote's other keys.
  void WriteKeys(std::size_t records = keydb::kKeyPositionCount) {
    const auto keys = sim::AllRemoteKeys();
    keydb::CRemoteKeyList list;
    for (std::size_t k = 0; k < records; ++k) {
      list.Append(keydb::CKeyList{static_cast<std::int32_t>(k), CodeOf(keys[k % keys.size()])});
    }
    ASSERT_EQ(keydb::WriteKeyFile(keyFile(), list).outcome, keydb::KeyFileWriteOutcome::Written);
  }

  void Register(const EntryStyle& style, std::string modelFile = {}) {
    quorvane::DeviceEntry entry;
    entry.brandName = "User Defined";
    entry.modelName = kDeviceName;
    entry.modelFile = modelFile.empty() ? keyFile() : modelFile;
    entry.displayMode = style.displayMode;
    entry.digital = style.digital;
    entry.inputType = style.inputType;
    entry.hundredKey = style.hundredKey;
    entry.intervalSpeed = kInterval;
    const quorvane::DeviceRegistry devices(store_, hives_.folder.path() + "/data");
    ASSERT_TRUE(devices.RegisterDevice(entry, false));
  }

  void Configure(const std::vector<std::pair<std::string, std::string>>& settings) {
    ASSERT_TRUE(hardware_->Configure(settings).ok());
  }

  // Runs InitializeBox on its own thread while the clock moves on by far
  // more than it can take; returns the simulated time it took.
  std::chrono::milliseconds Initialize(const std::string& major, const std::string& minor = "", int insource = 1,
                                       int devicenum = 0) {
    const platform::MonoTime start = clock_.Mono();
    platform::MonoTime end{};
    int result = -1;
    {
      platform::ClockThread thread(clock_, [&] {
        result = box_.InitializeBox(window_, insource, major, minor, devicenum);
        end = clock_.Mono();
      });
      clock_.Advance(10min);
    }
    EXPECT_EQ(result, 0);
    return std::chrono::duration_cast<std::chrono::milliseconds>(end - start);
  }

  // The keys that reached the box's receiver.
  Lines Received() {
    Lines keys;
    for (const auto& line : hardware_->Status().received) {
      if (line.key != "(pause)") keys.push_back(line.key);
    }
    return keys;
  }

  Lines Log() const { return testing::LogTexts(logDir()); }
  bool Logged(const std::string& text) const {
    const Lines lines = Log();
    return std::find(lines.begin(), lines.end(), text) != lines.end();
  }

  quorvane::testing::TempHives hives_{quorvane::testing::TempFolder::MemoryBase()};
  platform::SimulatedClock clock_;
  platform::DebugCapture debug_;
  ServiceLog log_;
  std::shared_ptr<sim::SimulatedHardware> hardware_;
  std::unique_ptr<platform::OverrideCaptureDeviceSources> sources_;
  platform::FakeConsoleUserProvider users_{platform::LookUpConsoleUser(geteuid())};
  platform::RecordingMessenger messenger_;
  quorvane::SettingsStore store_{hives_.locations};
  BoxControl box_{clock_, log_, users_, messenger_, store_};
  BoxWindowState window_;
};

TEST_F(BoxControlTest, BoxThatIsOffIsSwitchedOnAndTuned) {
  WriteKeys();
  Register({.digital = 1, .inputType = 1});
  Configure({{"digits", "3"}, {"ok", "1"}});

  // 1 s after the input switch, the power wait, then two keys.
  EXPECT_EQ(Initialize("7"), 1000ms + 10000ms + 2 * std::chrono::milliseconds(kInterval));

  const auto status = hardware_->Status();
  EXPECT_TRUE(status.power);
  EXPECT_EQ(status.channel, "7");
  EXPECT_EQ(Received(), (Lines{"POWER", "7", "OK"}));
  EXPECT_FALSE(window_.deviceOccupied);
  const std::string devicePath = sid() + "\\SOFTWARE\\Quorvane\\Device";
  EXPECT_EQ(Log(), (Lines{
                       "[Wakeward][CScheduleWnd][InitializeBox] ",
                       "[Wakeward][CScheduleWnd][RetrieveDatabase]",
                       "[Wakeward][CScheduleWnd][RetrieveDatabase] Get current user session info succeed",
                       "[Wakeward][CScheduleWnd][RetrieveDatabase] device path: " + devicePath,
                       "[Wakeward][CScheduleWnd][RetrieveDatabase] model path: " + devicePath + "\\Living Room",
                       "[Wakeward][CScheduleWnd][RetrieveDatabase] Get Registry data succeed",
                       "[Wakeward][CScheduleWnd][RetrieveDatabase] database path: " + keyFile(),
                       "[Wakeward][CScheduleWnd][RetrieveDatabase] File read succeed",
                       "[Wakeward][CScheduleWnd][RetrieveDatabase] 7:MajorLen = 1, :MinorLen=0",
                       "I=7",
                       "[Wakeward][CScheduleWnd][RetrieveDatabase] pnFireNum=2",
                       "[Wakeward][CScheduleWnd][InitializeBox] IID_ITeskUSBHDAPI",
                       "[Wakeward][CScheduleWnd][InitializeBox] Init",
                       "[Wakeward][CScheduleWnd][InitializeBox] SetFuncMode succeede",
                       "[Wakeward][CScheduleWnd][InitializeBox] SetFuncMode & SetInputSource",
                       "[Wakeward][CScheduleWnd][InitializeBox] DetectInputVideoFmt succeed",
                       "[Wakeward][CScheduleWnd][InitializeBox] un-lock",
                       "[Wakeward][CScheduleWnd][InitializeBox] IRemoteLearning",
                       "[Wakeward][CScheduleWnd][InitializeBox] IRInit succeeded",
                       "[Wakeward][CScheduleWnd][InitializeBox] power on",
                       "[Wakeward][CScheduleWnd][InitializeBox] channel digit 0",
                       "[Wakeward][CScheduleWnd][InitializeBox] channel digit 1",
                       "[Wakeward][CScheduleWnd][InitializeBox]DeviceAPI COM value = 0",
                   }));
  EXPECT_TRUE(debug_.Contains(sid()));  // the console user's SID goes to the debug output
}

struct TuningCase {
  const char* name;
  std::vector<std::pair<std::string, std::string>> box;
  EntryStyle entry;
  std::string major;
  std::string minor;
  Lines keys;
  std::string channel;
};

class BoxTuning : public BoxControlTest, public ::testing::WithParamInterface<TuningCase> {};

TEST_P(BoxTuning, EndsOnTheScheduledChannel) {
  const TuningCase& c = GetParam();
  WriteKeys();
  Register(c.entry);
  Configure(c.box);
  Initialize(c.major, c.minor);
  const auto status = hardware_->Status();
  EXPECT_TRUE(status.power);
  EXPECT_EQ(Received(), c.keys);
  EXPECT_EQ(status.channel, c.channel);
}

INSTANTIATE_TEST_SUITE_P(
    Channels, BoxTuning,
    ::testing::Values(
        TuningCase{"HundredKey",
                   {{"digits", "3"}, {"hundred", "1"}},
                   {.digital = 1, .inputType = 0, .hundredKey = 1},
                   "123", "", {"POWER", "PLUS100", "2", "3"}, "123"},
        TuningCase{"HundredRuleOtherFirstDigit",
                   {{"digits", "3"}, {"hundred", "1"}},
                   {.digital = 1, .inputType = 0, .hundredKey = 1},
                   "223", "", {"POWER", "2", "2", "3"}, "223"},
        // A box that needs OK would drop "13.2" without it.
        TuningCase{"DecimalChannel",
                   {{"digits", "2"}, {"decimal", "1"}, {"ok", "0"}},
                   {.displayMode = 1, .digital = 0, .inputType = 0},
                   "13", "2", {"POWER", "1", "3", "DOT", "2"}, "13.2"},
        TuningCase{"FullWidthNeedsNoOk",
                   {{"digits", "4"}, {"ok", "1"}},
                   {.digital = 2, .inputType = 1},
                   "1234", "", {"POWER", "1", "2", "3", "4"}, "1234"}),
    [](const ::testing::TestParamInfo<TuningCase>& tuning) { return std::string(tuning.param.name); });

TEST_F(BoxControlTest, BoxShowingAPictureGetsNoPowerKey) {
  WriteKeys();
  Register({.digital = 1, .inputType = 1});
  Configure({{"digits", "3"}, {"ok", "1"}, {"power", "on"}, {"channel", "44"}});

  EXPECT_EQ(Initialize("7"), 1000ms + 2 * std::chrono::milliseconds(kInterval));
  EXPECT_EQ(Received(), (Lines{"7", "OK"}));
  EXPECT_EQ(hardware_->Status().channel, "7");
  EXPECT_TRUE(Logged("[Wakeward][CScheduleWnd][InitializeBox] lock"));
  EXPECT_FALSE(Logged("[Wakeward][CScheduleWnd][InitializeBox] power on"));
}

TEST_F(BoxControlTest, NoDetectAttemptsSendNothing) {
  WriteKeys();
  Register({});
  window_.settings.detectSignalLoop = 0;
  EXPECT_EQ(Initialize("7"), 1000ms);
  EXPECT_TRUE(Received().empty());
  EXPECT_FALSE(hardware_->Status().power);
  EXPECT_TRUE(Logged("[Wakeward][CScheduleWnd][InitializeBox] un-lock"));
}

TEST_F(BoxControlTest, EachAttemptWithoutPictureSendsPowerAndChannelAgain) {
  WriteKeys();
  Register({.digital = 1, .inputType = 0});
  // The box's video is wired to input 2; the schedule records input 1.
  Configure({{"input", "2"}});
  window_.settings = BoxSettings{5000, 3};

  EXPECT_EQ(Initialize("42"), 1000ms + 3 * (5000ms + 2 * std::chrono::milliseconds(kInterval)));
  // Power toggles: on, off (the channel keys then meet a box that is off), on.
  EXPECT_EQ(Received(), (Lines{"POWER", "4", "2", "POWER", "4", "2", "POWER", "4", "2"}));
  EXPECT_TRUE(hardware_->Status().power);
}

TEST_F(BoxControlTest, UnfinishedLearningSendsNoKeysButSelectsTheInput) {
  WriteKeys();
  Register({});
  ASSERT_TRUE(store_.DeleteValue(platform::Hive::CurrentUser, modelKey(), "BrandName"));

  Initialize("7", "", 3);
  EXPECT_EQ(box_.sequence().fireNum, -1);
  EXPECT_TRUE(Received().empty());
  EXPECT_EQ(hardware_->Status().selected_input, 3);
  EXPECT_TRUE(Logged("[Wakeward][CScheduleWnd][RetrieveDatabase] User skip learning"));
  EXPECT_FALSE(Logged("[Wakeward][CScheduleWnd][RetrieveDatabase] Get Registry data succeed"));
  EXPECT_TRUE(Logged("[Wakeward][CScheduleWnd][InitializeBox] No database can use to turn on box"));
}

TEST_F(BoxControlTest, NoCurrentDeviceOrNoConsoleUserIsNoDatabase) {
  Initialize("7", "", 2);
  EXPECT_TRUE(Logged("[Wakeward][CScheduleWnd][RetrieveDatabase] Get current user session info fail"));
  EXPECT_EQ(hardware_->Status().selected_input, 2);

  users_.Set(std::nullopt);
  EXPECT_FALSE(box_.RetrieveDatabase("7", ""));
  EXPECT_FALSE(box_.GetConsoleUserSid().has_value());
  EXPECT_TRUE(Received().empty());
}

TEST_F(BoxControlTest, OccupiedDeviceIsReportedToTheConsoleUser) {
  WriteKeys();
  Register({.digital = 1, .inputType = 1});
  hardware_->SetOccupied(true);

  Initialize("7");
  EXPECT_TRUE(window_.deviceOccupied);
  const auto messages = messenger_.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].user.uid, geteuid());
  EXPECT_EQ(messages[0].title, "Velmora Scheduler");
  EXPECT_EQ(messages[0].text,
            "Device use conflicts!\nVelmora Scheduler scheduled recording is about to begin, but the selected "
            "device is currently occupied by other video capture application (Such as ArcSoft TotalMedia Extreme "
            "or Windows Media Center).\nTo activate scheduled recording successfully, please end the specific "
            "application occupying the device first.");
  EXPECT_EQ(messages[0].timeout, 15s);
  EXPECT_TRUE(Logged("[Wakeward][CScheduleWnd][StopConflictDevice] "));
  EXPECT_TRUE(Logged("[Wakeward][CScheduleWnd][StopConflictDevice] WTSSendMessage Succeed : 1"));
  // The recording sequence decides what to do; the box is prepared anyway.
  EXPECT_EQ(hardware_->Status().channel, "7");
}

TEST_F(BoxControlTest, MissingKeyFileSendsNothing) {
  Register({}, hives_.folder.path() + "/gone.txt");
  Initialize("7", "", 2);
  EXPECT_TRUE(Logged("[Wakeward][CScheduleWnd][RetrieveDatabase] Get Registry data succeed"));
  EXPECT_FALSE(Logged("[Wakeward][CScheduleWnd][RetrieveDatabase] File read succeed"));
  EXPECT_FALSE(Logged("[Wakeward][CScheduleWnd][InitializeBox] power on"));
  EXPECT_TRUE(Received().empty());
  EXPECT_FALSE(hardware_->Status().power);
  EXPECT_EQ(hardware_->Status().selected_input, 2);
}

TEST_F(BoxControlTest, OverlongKeyFileAndChannelTextsStayInBounds) {
  WriteKeys(40);
  Register({.displayMode = 1, .digital = 2, .inputType = 1});
  users_.Set(platform::LookUpConsoleUser(geteuid()));

  ASSERT_TRUE(box_.RetrieveDatabase("1234567", "98765"));
  const auto keys = sim::AllRemoteKeys();
  for (std::size_t slot = 0; slot < keydb::kKeyTableSlots; ++slot) {
    EXPECT_EQ(box_.keyTable()[slot], CodeOf(keys[slot])) << slot;
  }
  const KeySequence& sequence = box_.sequence();
  ASSERT_EQ(sequence.fireNum, 9);
  EXPECT_EQ(std::vector<int>(sequence.slots.begin(), sequence.slots.begin() + 9),
            (std::vector<int>{1, 2, 3, 4, 5, 13, 9, 8, 7}));
  EXPECT_TRUE(Logged("[Wakeward][CScheduleWnd][RetrieveDatabase] 12345:MajorLen = 5, 987:MinorLen=3"));
  EXPECT_EQ(box_.interval(), std::chrono::milliseconds(kInterval));

  // The whole run with such texts sends the nine keys after the power key.
  Initialize("1234567", "98765");
  EXPECT_EQ(Received().size(), 10u);
}

TEST_F(BoxControlTest, MissingIntervalKeepsTheDefaultPause) {
  WriteKeys();
  Register({.digital = 1, .inputType = 1});
  ASSERT_TRUE(store_.DeleteValue(platform::Hive::CurrentUser, modelKey(), "IntervalSpeed"));
  ASSERT_TRUE(box_.RetrieveDatabase("7", ""));
  EXPECT_EQ(box_.interval(), BoxControl::kDefaultInterval);
}

TEST_F(BoxControlTest, MissingCaptureDeviceEndsBoxControl) {
  WriteKeys();
  Register({});
  Initialize("7", "", 2, 1);  // device 2 of one
  EXPECT_EQ(Log().back(), "[Wakeward][CScheduleWnd][InitializeBox] IID_ITeskUSBHDAPI fail - 0x80004003");
  EXPECT_EQ(hardware_->Status().selected_input, 1);
  EXPECT_TRUE(Received().empty());
}

TEST_F(BoxControlTest, PlainProcessUsesItsOwnTreeForAnotherConsoleUser) {
  if (geteuid() == 0) GTEST_SKIP() << "root reaches every user's tree";
  users_.Set(platform::LookUpConsoleUser(geteuid() + 1));
  EXPECT_EQ(box_.GetConsoleUserSid(), sid());
  const auto messages = messenger_.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, "Can't run by user privilege");
  EXPECT_EQ(messages[0].user.uid, geteuid());
}

}  // namespace
}  // namespace TESKTV::SERVICE
