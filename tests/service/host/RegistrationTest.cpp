// Registration from the command line: the class keys, the activation file,
// and for a service the unit and the bus policy, all in temporary folders.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "interface/bus/ScheduleProgramBus.h"
#include "platform/registry/Registry.h"
#include "service/host/CServiceModule.h"
#include "tests/service/automation/ServiceProcess.h"
#include "tests/support/TempDir.h"

namespace quorvane::testing {
namespace {

using platform::Hive;
using TESKTV::SERVICE::CServiceModule;
using TESKTV::SERVICE::ModuleSwitch;
using TESKTV::SERVICE::ParseSwitch;

TEST(ModuleSwitchTest, SwitchesAfterDashOrSlashIgnoringCase) {
  const struct {
    std::vector<std::string> arguments;
    std::optional<ModuleSwitch> expected;
  } cases[] = {
      {{"-RegServer"}, ModuleSwitch::kRegServer},
      {{"/regserver"}, ModuleSwitch::kRegServer},
      {{"-SERVICE"}, ModuleSwitch::kService},
      {{"/Service"}, ModuleSwitch::kService},
      {{"-UnregServer"}, ModuleSwitch::kUnregServer},
      {{"/UNREGSERVER"}, ModuleSwitch::kUnregServer},
      {{"x", "-Embedding", "/unregserver"}, ModuleSwitch::kUnregServer},
      {{"RegServer"}, std::nullopt},
      {{"-RegServerX"}, std::nullopt},
      {{}, std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseSwitch(c.arguments), c.expected) << (c.arguments.empty() ? "" : c.arguments.back());
  }
}

class RegistrationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("QUORVANE_MACHINE_DIR", (folder_.path() + "/machine").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (folder_.path() + "/data").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (folder_.path() + "/config").c_str(), 1);
    ::setenv("QUORVANE_SYSTEM_ROOT", (folder_.path() + "/root").c_str(), 1);
    ::unsetenv("INVOCATION_ID");
    executable_ = std::getenv("QUORVANE_WAKEWARD");
  }

  CServiceModule Module() const {
    auto environment = CServiceModule::Environment::FromProcess();
    environment->executable = executable_;
    return CServiceModule(std::move(*environment));
  }

  std::string Text(Hive hive, const std::string& path, const std::string& name = "") const {
    auto value = platform::Registry().GetValue(hive, path, name);
    return value ? value->text : "<missing>";
  }

  static std::string Contents(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  std::string File(const std::string& relative) const { return folder_.path() + "/" + relative; }

  TempDir folder_;
  std::string executable_;
};

const std::string kClsidKey = std::string("CLSID\\") + automation::kClsid;
const std::string kAppIdKey = std::string("AppID\\") + automation::kAppId;

TEST_F(RegistrationTest, RegServerWritesTheClassKeysAndTheSessionActivationFile) {
  const RunResult result = RunProgram({executable_, "/RegServer"});
  ASSERT_EQ(result.exitCode, 0) << result.err;

  EXPECT_EQ(Text(Hive::ClassesRoot, kAppIdKey), "Wakeward");
  EXPECT_EQ(Text(Hive::ClassesRoot, "AppID\\Wakeward.EXE", "AppID"), automation::kAppId);
  EXPECT_EQ(Text(Hive::ClassesRoot, "Wakeward.ScheduleProgram.1"), "ScheduleProgram Class");
  EXPECT_EQ(Text(Hive::ClassesRoot, "Wakeward.ScheduleProgram.1\\CLSID"), automation::kClsid);
  EXPECT_EQ(Text(Hive::ClassesRoot, "Wakeward.ScheduleProgram\\CurVer"), "Wakeward.ScheduleProgram.1");
  EXPECT_EQ(Text(Hive::ClassesRoot, kClsidKey + "\\LocalServer32"), executable_);
  EXPECT_EQ(Text(Hive::ClassesRoot, kClsidKey + "\\ProgID"), "Wakeward.ScheduleProgram.1");
  EXPECT_EQ(Text(Hive::ClassesRoot, kClsidKey + "\\VersionIndependentProgID"), "Wakeward.ScheduleProgram");
  EXPECT_EQ(Text(Hive::ClassesRoot, kClsidKey + "\\TypeLib"), automation::kLibId);
  EXPECT_EQ(Text(Hive::ClassesRoot, kClsidKey, "AppID"), automation::kAppId);
  EXPECT_TRUE(platform::Registry().OpenKey(Hive::ClassesRoot, kClsidKey + "\\Programmable"));
  EXPECT_EQ(Text(Hive::ClassesRoot, kAppIdKey, "LocalService"), "<missing>");

  EXPECT_EQ(Contents(File("data/dbus-1/services/Wakeward.ScheduleProgram.service")),
            "[D-BUS Service]\nName=Wakeward.ScheduleProgram\nExec=" + executable_ + "\n");
  EXPECT_FALSE(std::filesystem::exists(File("root/etc/systemd/system/TeskIrWakeward.service")));
  EXPECT_EQ(Module().ChooseRole(), platform::ProcessRole::kPlainProcess);
}

TEST_F(RegistrationTest, ServiceWritesUnitPolicyAndSystemActivationAndUnregServerRemovesAll) {
  ASSERT_EQ(RunProgram({executable_, "-RegServer"}).exitCode, 0);
  const RunResult result = RunProgram({executable_, "-service"});
  ASSERT_EQ(result.exitCode, 0) << result.err;

  EXPECT_EQ(Text(Hive::ClassesRoot, kAppIdKey, "LocalService"), "TeskIrWakeward");
  EXPECT_EQ(Text(Hive::ClassesRoot, kAppIdKey, "ServiceParameters"), "-Service");
  EXPECT_TRUE(Module().IsServiceRegistered());
  // Registered as a service, but started by hand: a plain process.
  EXPECT_EQ(Module().ChooseRole(), platform::ProcessRole::kPlainProcess);

  const std::string unit = File("root/etc/systemd/system/TeskIrWakeward.service");
  const std::string unitText = Contents(unit);
  EXPECT_NE(unitText.find("ExecStart=" + executable_ + "\n"), std::string::npos) << unitText;
  EXPECT_NE(unitText.find("BusName=Wakeward.ScheduleProgram\n"), std::string::npos) << unitText;
  const std::string activation = Contents(File("root/usr/share/dbus-1/system-services/Wakeward.ScheduleProgram.service"));
  EXPECT_NE(activation.find("SystemdService=TeskIrWakeward.service\n"), std::string::npos) << activation;
  const std::string policy = Contents(File("root/etc/dbus-1/system.d/Wakeward.ScheduleProgram.conf"));
  EXPECT_NE(policy.find("<allow own=\"Wakeward.ScheduleProgram\"/>"), std::string::npos) << policy;
  EXPECT_FALSE(std::filesystem::exists(File("data/dbus-1/services/Wakeward.ScheduleProgram.service")));

  const RunResult verify = RunProgram({"/usr/bin/systemd-analyze", "verify", unit});
  if (verify.exitCode == 127) {
    std::cout << "systemd-analyze is missing (package systemd); the unit was not verified\n";
  } else {
    EXPECT_EQ(verify.exitCode, 0) << verify.out << verify.err;
  }

  ASSERT_EQ(RunProgram({executable_, "/UnregServer"}).exitCode, 0);
  EXPECT_FALSE(std::filesystem::exists(unit));
  EXPECT_FALSE(std::filesystem::exists(File("root/etc/dbus-1/system.d/Wakeward.ScheduleProgram.conf")));
  EXPECT_FALSE(platform::Registry().OpenKey(Hive::ClassesRoot, kClsidKey));
  EXPECT_FALSE(platform::Registry().OpenKey(Hive::ClassesRoot, kAppIdKey));
  EXPECT_FALSE(platform::Registry().OpenKey(Hive::ClassesRoot, "Wakeward.ScheduleProgram"));
  // Nothing left to remove is no failure.
  EXPECT_EQ(RunProgram({executable_, "/UnregServer"}).exitCode, 0);
}

}  // namespace
}  // namespace quorvane::testing
