// The RTC wake alarm and wakeup setting against a folder laid out like
// sysfs.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/power/RtcWakeAlarm.h"
#include "platform/power/RtcWakeupSetting.h"
#include "tests/support/TempDir.h"

namespace quorvane::platform {
namespace {

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void Write(const std::string& path, const std::string& text) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

class RtcTest : public ::testing::Test {
 protected:
  std::string Device() const { return sysfs.path() + "/class/rtc/rtc0"; }
  std::string AlarmFile() const { return Device() + "/wakealarm"; }
  std::string WakeupFile() const { return Device() + "/device/power/wakeup"; }

  void SetUp() override {
    Write(AlarmFile(), "\n");
    Write(WakeupFile(), "disabled\n");
  }

  testing::TempDir sysfs;
};

// 2026-03-29 06:58:00 UTC.
const WallTime kDue = WallTime(std::chrono::seconds(1774767480)) + std::chrono::milliseconds(900);

TEST_F(RtcTest, ProgramClearsTheAlarmThenWritesEpochSeconds) {
  // A FIFO in place of the attribute shows every write in order.
  std::filesystem::remove(AlarmFile());
  ASSERT_EQ(::mkfifo(AlarmFile().c_str(), 0600), 0);
  const int reader = ::open(AlarmFile().c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(reader, 0);
  RtcWakeAlarm alarm(sysfs.path());
  EXPECT_EQ(alarm.path(), AlarmFile());
  ASSERT_TRUE(alarm.Program(kDue));
  char buffer[64] = {};
  const ssize_t n = ::read(reader, buffer, sizeof buffer - 1);
  ::close(reader);
  EXPECT_EQ(std::string(buffer, n > 0 ? static_cast<std::size_t>(n) : 0), "0\n1774767480\n");
}

TEST_F(RtcTest, ArmedReadsTheAlarmBack) {
  RtcWakeAlarm alarm(sysfs.path() + "/");
  auto none = alarm.Armed();
  ASSERT_TRUE(none) << none.error().message;
  EXPECT_FALSE(*none);

  ASSERT_TRUE(alarm.Program(kDue));
  EXPECT_EQ(Read(AlarmFile()), "1774767480\n");
  auto armed = alarm.Armed();
  ASSERT_TRUE(armed) << armed.error().message;
  EXPECT_EQ(*armed, WallTime(std::chrono::seconds(1774767480)));

  ASSERT_TRUE(alarm.Clear());
  EXPECT_FALSE(*alarm.Armed());

  Write(AlarmFile(), "soon\n");
  auto garbage = alarm.Armed();
  ASSERT_FALSE(garbage);
  EXPECT_NE(garbage.error().message.find("holds \"soon\""), std::string::npos) << garbage.error().message;
}

TEST_F(RtcTest, MissingDevicesAndTimesBeforeTheEpochAreErrors) {
  RtcWakeAlarm other(sysfs.path(), "rtc1");
  const Status status = other.Program(kDue);
  ASSERT_FALSE(status);
  EXPECT_NE(status.error().message.find(sysfs.path() + "/class/rtc/rtc1/wakealarm"), std::string::npos)
      << status.error().message;

  RtcWakeAlarm alarm(sysfs.path());
  EXPECT_FALSE(alarm.Program(WallTime{}));
  EXPECT_EQ(Read(AlarmFile()), "\n") << "nothing written";
}

TEST_F(RtcTest, WakeupSettingIsAllowedForSleepAndRestoredOnlyWhenChanged) {
  RtcWakeupSetting setting(sysfs.path());
  EXPECT_EQ(setting.path(), WakeupFile());
  EXPECT_FALSE(*setting.Read());

  ASSERT_TRUE(setting.AllowForSleep());
  EXPECT_TRUE(setting.changedBySelf());
  EXPECT_EQ(Read(WakeupFile()), "enabled\n");
  ASSERT_TRUE(setting.Restore());
  EXPECT_FALSE(setting.changedBySelf());
  EXPECT_EQ(Read(WakeupFile()), "disabled\n");

  // Enabled by someone else: left alone, also at restore.
  ASSERT_TRUE(setting.Write(true));
  ASSERT_TRUE(setting.AllowForSleep());
  EXPECT_FALSE(setting.changedBySelf());
  ASSERT_TRUE(setting.Restore());
  EXPECT_EQ(Read(WakeupFile()), "enabled\n");

  // Unreadable: enabled to be sure, and restored.
  Write(WakeupFile(), "maybe\n");
  auto odd = setting.Read();
  ASSERT_FALSE(odd);
  EXPECT_NE(odd.error().message.find("not \"enabled\" or \"disabled\""), std::string::npos);
  ASSERT_TRUE(setting.AllowForSleep());
  EXPECT_TRUE(setting.changedBySelf());
  ASSERT_TRUE(setting.Restore());
  EXPECT_EQ(Read(WakeupFile()), "disabled\n");
}

TEST_F(RtcTest, WakeupSettingOfAnRtcWithoutParentDevice) {
  std::filesystem::remove_all(Device() + "/device");
  Write(Device() + "/power/wakeup", "enabled\n");
  RtcWakeupSetting setting(sysfs.path());
  EXPECT_EQ(setting.path(), Device() + "/power/wakeup");
  EXPECT_TRUE(*setting.Read());

  std::filesystem::remove_all(Device() + "/power");
  RtcWakeupSetting none(sysfs.path());
  const Status status = none.AllowForSleep();
  ASSERT_FALSE(status);
  EXPECT_FALSE(none.changedBySelf());
  EXPECT_NE(status.error().message.find("cannot write \"enabled\" to " + WakeupFile()), std::string::npos)
      << status.error().message;
}

}  // namespace
}  // namespace quorvane::platform
