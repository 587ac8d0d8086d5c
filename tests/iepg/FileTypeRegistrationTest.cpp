#include "iepg/FileTypeRegistration.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "iepg/DesktopRegistration.h"
#include "iepg/TeskIEPGApp.h"
#include "iepg/TitanIEPG.h"
#include "platform/clock/SimulatedClock.h"
#include "tests/iepg/IepgTestSupport.h"

namespace quorvane::iepg {
namespace {

using platform::RegistryValue;
using testing::IepgMachine;

const std::string kSpacedExecutable = "/opt/My Apps/TeskIEPG";

using Values = std::vector<std::pair<std::string, RegistryValue>>;

// A key's values in the order they were first written.
Values ValuesOf(const SettingsStore& settings, const std::string& path) {
  Values values;
  auto key = settings.registry().OpenKey(Hive::ClassesRoot, path);
  if (!key) return values;
  auto named = key->Values();
  if (!named) return values;
  for (auto& value : *named) values.emplace_back(value.name, value.value);
  return values;
}

TEST(FileTypeRegistrationTest, WritesTheClassesRootEntriesOfBothTypes) {
  IepgMachine machine;
  RegistryClassesRoot classesRoot(machine.settings().registry());
  ASSERT_EQ(RegisterTitanFileTypes(classesRoot, kSpacedExecutable), platform::S_OK);
  const auto& settings = machine.settings();

  struct Expected {
    const char* extension;
    const char* id;
    const char* mime;
    const char* description;
  };
  for (const Expected& type : {Expected{".tvpi", "tvpi_auto_file", "application/x-tv-program-info", "TVPI FileType"},
                               Expected{".tvvi", "tvvi_auto_file", "application/x-tv-program-watch-info",
                                        "TVVI FileType"}}) {
    const std::string id = type.id;
    const std::string mimeKey = std::string("MIME\\Database\\Content Type\\") + type.mime;
    EXPECT_EQ(ValuesOf(settings, mimeKey), (Values{{"Extension", RegistryValue::String(type.extension)}}));
    EXPECT_EQ(ValuesOf(settings, type.extension),
              (Values{{"", RegistryValue::String(id)}, {"Content Type", RegistryValue::String(id)}}));
    EXPECT_EQ(ValuesOf(settings, id), (Values{{"", RegistryValue::String(type.description)},
                                              {"EditFlags", RegistryValue::Binary({0x00, 0x00, 0x01, 0x00})}}));
    EXPECT_EQ(ValuesOf(settings, id + "\\DefaultIcon"),
              (Values{{"", RegistryValue::String("/opt/My Apps/TeskIEPG,0")}}));
    EXPECT_TRUE(settings.KeyExists(Hive::ClassesRoot, id + "\\shell"));
    EXPECT_TRUE(ValuesOf(settings, id + "\\shell").empty());
    EXPECT_EQ(ValuesOf(settings, id + "\\shell\\open"),
              (Values{{"EditFlags", RegistryValue::Binary({0x01, 0x00, 0x00, 0x00})}}));
    EXPECT_EQ(ValuesOf(settings, id + "\\shell\\open\\command"),
              (Values{{"", RegistryValue::String("\"/opt/My Apps/TeskIEPG\" %1")}}));
  }
}

TEST(FileTypeRegistrationTest, RunningTwiceLeavesTheSameEntries) {
  IepgMachine machine;
  RegistryClassesRoot classesRoot(machine.settings().registry());
  ASSERT_EQ(RegisterTitanFileTypes(classesRoot, "/usr/bin/TeskIEPG"), platform::S_OK);
  auto exported = [&] {
    std::vector<Values> all;
    for (const char* key : {"tvpi_auto_file", "tvpi_auto_file\\shell\\open\\command", ".tvvi", "tvvi_auto_file"}) {
      all.push_back(ValuesOf(machine.settings(), key));
    }
    return all;
  };
  const auto first = exported();
  ASSERT_EQ(RegisterTitanFileTypes(classesRoot, "/usr/bin/TeskIEPG"), platform::S_OK);
  EXPECT_EQ(exported(), first);
  EXPECT_EQ(machine.settings().CountSubkeys(Hive::ClassesRoot, "tvpi_auto_file\\shell"), 1u);
}

// Records every step and fails the one numbered `failAt`.
class StepRecorder final : public ClassesRootWriter {
 public:
  explicit StepRecorder(int failAt = -1) : failAt_(failAt) {}
  platform::Status CreateKey(std::string_view path) override { return Step("create " + std::string(path)); }
  platform::Status SetValue(std::string_view path, std::string_view name, const RegistryValue&) override {
    return Step("set " + std::string(path) + " [" + std::string(name) + "]");
  }
  std::vector<std::string> steps;

 private:
  platform::Status Step(std::string step) {
    steps.push_back(std::move(step));
    if (static_cast<int>(steps.size()) - 1 == failAt_) return platform::MakeError("refused");
    return platform::Status::Ok();
  }
  int failAt_;
};

std::vector<std::string> StepsOf(const std::string& ext, const std::string& id, const std::string& mime) {
  const std::string mimeKey = "MIME\\Database\\Content Type\\" + mime;
  return {"create " + mimeKey,
          "set " + mimeKey + " [Extension]",
          "create " + ext,
          "set " + ext + " []",
          "set " + ext + " [Content Type]",
          "create " + id,
          "set " + id + " []",
          "set " + id + " [EditFlags]",
          "create " + id + "\\DefaultIcon",
          "set " + id + "\\DefaultIcon []",
          "create " + id + "\\shell",
          "create " + id + "\\shell\\open",
          "set " + id + "\\shell\\open [EditFlags]",
          "create " + id + "\\shell\\open\\command",
          "set " + id + "\\shell\\open\\command []"};
}

TEST(FileTypeRegistrationTest, EntriesAreWrittenInOrderAndTheFirstFailureEndsIt) {
  const auto record = StepsOf(".tvpi", "tvpi_auto_file", "application/x-tv-program-info");
  const auto watch = StepsOf(".tvvi", "tvvi_auto_file", "application/x-tv-program-watch-info");
  StepRecorder all;
  ASSERT_EQ(RegisterTitanFileTypes(all, "/usr/bin/TeskIEPG"), platform::S_OK);
  std::vector<std::string> both = record;
  both.insert(both.end(), watch.begin(), watch.end());
  EXPECT_EQ(all.steps, both);

  for (int failAt : {0, 7, static_cast<int>(record.size()) - 1, static_cast<int>(record.size()) + 3}) {
    StepRecorder failing(failAt);
    EXPECT_EQ(RegisterTitanFileTypes(failing, "/usr/bin/TeskIEPG"), platform::E_FAIL) << failAt;
    EXPECT_EQ(failing.steps, std::vector<std::string>(both.begin(), both.begin() + failAt + 1)) << failAt;
  }
}

TEST(DesktopRegistrationTest, ExecQuotesThePathOnceForTheQuotingAndOnceForTheStringEscapes) {
  EXPECT_EQ(DesktopExecArgument("/usr/bin/TeskIEPG"), "\"/usr/bin/TeskIEPG\"");
  EXPECT_EQ(DesktopExecArgument("/opt/My Apps/TeskIEPG"), "\"/opt/My Apps/TeskIEPG\"");
  EXPECT_EQ(DesktopExecArgument("/opt/a\"b$c`d/T"), "\"/opt/a\\\\\"b\\\\$c\\\\`d/T\"");
  EXPECT_EQ(DesktopExecArgument("/opt/100%/T"), "\"/opt/100%%/T\"");
  EXPECT_EQ(DesktopExecArgument("/opt/back\\slash/T"), "\"/opt/back\\\\\\\\slash/T\"");
  const std::string entry = DesktopEntryText("/opt/My Apps/TeskIEPG");
  EXPECT_NE(entry.find("\nExec=\"/opt/My Apps/TeskIEPG\" %f\n"), std::string::npos) << entry;
  EXPECT_NE(entry.find("\nMimeType=application/x-tv-program-info;application/x-tv-program-watch-info;\n"),
            std::string::npos)
      << entry;
}

TEST(DesktopRegistrationTest, DataFolderIsTheUsersOrForRootTheSystemsFirst) {
  struct SavedVariable {
    explicit SavedVariable(const char* name) : name_(name) {
      if (const char* value = std::getenv(name)) saved_ = value;
    }
    ~SavedVariable() {
      if (saved_) ::setenv(name_, saved_->c_str(), 1);
      else ::unsetenv(name_);
    }
    const char* name_;
    std::optional<std::string> saved_;
  };
  SavedVariable home("XDG_DATA_HOME");
  SavedVariable dirs("XDG_DATA_DIRS");
  ::setenv("XDG_DATA_HOME", "/tmp/user-share", 1);
  ::setenv("XDG_DATA_DIRS", "relative:/srv/share:/usr/share", 1);
  EXPECT_EQ(DesktopDataFolder(false).value(), "/tmp/user-share");
  EXPECT_EQ(DesktopDataFolder(true).value(), "/srv/share");
  ::unsetenv("XDG_DATA_DIRS");
  EXPECT_EQ(DesktopDataFolder(true).value(), "/usr/local/share");
}

bool Installed(const char* tool) {
  auto found = RunInstalledTool({"sh", "-c", std::string("command -v ") + tool + " >/dev/null"});
  return found && found->has_value() && **found == 0;
}

TEST(DesktopRegistrationTest, InstalledPackageNamesTheTypesByExtension) {
  IepgMachine machine;
  const std::string share = machine.dir().File("share");
  ASSERT_TRUE(InstallDesktopRegistration(share, "/opt/My Apps/TeskIEPG").ok());
  EXPECT_EQ(testing::ReadText(share + "/mime/packages/quorvane-teskiepg.xml"), MimePackageText());
  EXPECT_EQ(testing::ReadText(share + "/applications/quorvane-teskiepg.desktop"),
            DesktopEntryText("/opt/My Apps/TeskIEPG"));
  // A well-formed package (the database tool skips broken ones silently).
  auto package = platform::xml::Document::ParseFile(share + "/mime/packages/quorvane-teskiepg.xml");
  ASSERT_TRUE(package.ok());
  EXPECT_EQ(package->Root().Children("mime-type").size(), 2u);

  if (!Installed("update-mime-database")) GTEST_SKIP() << "update-mime-database (shared-mime-info) is not installed";
  const std::string globs = testing::ReadText(share + "/mime/globs2");
  EXPECT_NE(globs.find("application/x-tv-program-info:*.tvpi"), std::string::npos) << globs;
  EXPECT_NE(globs.find("application/x-tv-program-watch-info:*.tvvi"), std::string::npos) << globs;
  const std::string aliases = testing::ReadText(share + "/mime/aliases");
  EXPECT_NE(aliases.find("application/x-tv-viewer-info application/x-tv-program-watch-info"), std::string::npos)
      << aliases;
}

TEST(DesktopRegistrationTest, DesktopNamesTheRecordTypeOfATvpiFile) {
  if (!Installed("update-mime-database") || !Installed("xdg-mime")) {
    GTEST_SKIP() << "xdg-mime (xdg-utils) or update-mime-database (shared-mime-info) is not installed";
  }
  IepgMachine machine;
  const std::string share = machine.dir().File("share");
  ASSERT_TRUE(InstallDesktopRegistration(share, "/usr/bin/TeskIEPG").ok());
  const std::string file = machine.dir().File("x.tvpi");
  testing::WriteText(file, "QVTVPI1\nencrypted");
  const std::string output = machine.dir().File("filetype.txt");
  // Only this folder's MIME database; a desktop whose lookup reads it.
  const std::string desktop = Installed("gio") ? "GNOME" : "X-Generic";
  auto ran = RunInstalledTool({"env", "XDG_DATA_HOME=" + share, "XDG_DATA_DIRS=" + share, "XDG_CURRENT_DESKTOP=" + desktop,
                               "sh", "-c", "xdg-mime query filetype \"$0\" > \"$1\"", file, output});
  ASSERT_TRUE(ran.ok() && ran->has_value());
  ASSERT_EQ(**ran, 0);
  std::string type = testing::ReadText(output);
  while (!type.empty() && (type.back() == '\n' || type.back() == ' ')) type.pop_back();
  if (type != "application/x-tv-program-info" && desktop != "GNOME" && !Installed("mimetype")) {
    GTEST_SKIP() << "xdg-mime has no lookup that reads the MIME database here (got " << type << ")";
  }
  EXPECT_EQ(type, "application/x-tv-program-info");
}

TEST(DesktopRegistrationTest, RegisterSwitchInstallsTheDesktopPartEvenWhenTheRegistryRefuses) {
  ::quorvane::testing::TempDir dir;
  testing::WriteText(dir.File("machine"), "not a folder");
  SettingsStore settings(platform::RegistryLocations{dir.File("machine"), dir.File("config")});
  ASSERT_TRUE(settings.WriteString(Hive::CurrentUser, kIepgKey, kDataPathValue, dir.File("exchange") + "/"));
  platform::SimulatedClock clock;
  testing::RecordingMessages messages;
  testing::RecordingLauncher launcher;
  AppOptions options;
  options.executablePath = [] { return platform::Result<std::string>(std::string("/usr/bin/TeskIEPG")); };
  options.desktopDataFolder = dir.File("share");
  CTeskIEPGApp app(settings, clock, messages, launcher, options);
  EXPECT_EQ(app.InitInstance("/R"), CTeskIEPGApp::kExitFailed);
  EXPECT_EQ(messages.texts, (std::vector<std::string>{"Register TitanTV extension file type fail!"}));
  EXPECT_FALSE(settings.KeyExists(Hive::ClassesRoot, "MIME\\Database\\Content Type\\application/x-tv-program-info"));
  EXPECT_TRUE(std::filesystem::exists(dir.File("share/applications/quorvane-teskiepg.desktop")));
}

}  // namespace
}  // namespace quorvane::iepg
