// quorvane-reg run as a program, the way scripts and the installer use it.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/registry/HiveNames.h"
#include "platform/registry/Registry.h"
#include "tests/platform/registry/RegistryTestSupport.h"
#include "tools/quorvane-reg/RegFile.h"

namespace quorvane::tools {
namespace {

using platform::Hive;
using platform::Registry;
using platform::RegistryValue;

struct ToolRun {
  int status = -1;
  std::string out;
  std::string err;
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class RegToolTest : public ::testing::Test {
 protected:
  testing::TempHives hives;
  Registry registry{hives.locations};

  void SetUp() override { hives.Export(); }

  std::string File(const std::string& name, const std::string& content) const {
    const std::string path = hives.folder.path() + "/" + name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }

  ToolRun Tool(const std::vector<std::string>& args) const {
    const char* tool = std::getenv("QUORVANE_REG_TOOL");
    EXPECT_NE(tool, nullptr);
    ToolRun run;
    if (!tool) return run;
    const std::string outFile = hives.folder.path() + "/stdout";
    const std::string errFile = hives.folder.path() + "/stderr";
    const pid_t pid = fork();
    if (pid == 0) {
      const int in = open("/dev/null", O_RDONLY);
      const int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      dup2(in, 0);
      dup2(out, 1);
      dup2(err, 2);
      std::vector<char*> argv{const_cast<char*>(tool)};
      for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
      argv.push_back(nullptr);
      execv(tool, argv.data());
      _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = ReadFile(outFile);
    run.err = ReadFile(errFile);
    return run;
  }

  // A failure: status 1 and exactly one "ERROR: ..." line.
  static void ExpectRefused(const ToolRun& run, const std::string& what) {
    EXPECT_EQ(run.status, 1) << what;
    EXPECT_EQ(run.err.rfind("ERROR: ", 0), 0u) << what << ": " << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << what << ": " << run.err;
  }
};

constexpr const char* kDone = "The operation completed successfully.\n";

// 120 bytes: wraps over several lines with '\' continuations.
std::vector<std::uint8_t> LongBytes() {
  std::vector<std::uint8_t> bytes;
  for (int i = 0; i < 120; ++i) bytes.push_back(static_cast<std::uint8_t>(i * 7));
  return bytes;
}

TEST_F(RegToolTest, ImportedValuesComeBackExactlyThroughQueryAndExport) {
  const std::string longText(259, 'x');
  std::string binaryLine = "\"Long\"=hex:";
  const auto bytes = LongBytes();
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    static constexpr char kDigits[] = "0123456789abcdef";
    binaryLine += kDigits[bytes[i] >> 4];
    binaryLine += kDigits[bytes[i] & 0xF];
    if (i + 1 < bytes.size()) binaryLine += (i % 20 == 19) ? ",\\\n    " : ",";
  }
  const std::string file = File("in.reg",
                                "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n"
                                "\r\n"
                                "[hkey_local_machine\\SOFTWARE\\Quorvane]\r\n"
                                "\"AppPath\"=\"/opt/quorvane/bin\"\r\n"
                                "\"Quoted\"=\"C:\\\\TeskTV \\\"x\\\"\"\r\n"
                                "\"Umlaut\"=\"Grüße €\"\r\n"
                                "\"Max\"=\"" +
                                    longText +
                                    "\"\r\n"
                                    "@=\"default\"\r\n"
                                    "\"PowerWaitTime\"=dword:00002710\r\n"
                                    "\"All\"=dword:ffffffff\r\n"
                                    "\"Small\"=hex:01,02,ab\r\n"
                                    "\"Empty\"=hex:\r\n" +
                                    binaryLine +
                                    "\r\n"
                                    "\"Lines\"=hex(1):61,00,0a,00,62,00,00,00\r\n"
                                    "\r\n"
                                    "[HKEY_CURRENT_USER\\Software\\Quorvane\\Device\\Cable]\r\n"
                                    "\"Digital\"=hex(4):02,00,00,00\r\n");
  ToolRun run = Tool({"import", file});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, kDone);

  const auto value = [&](Hive hive, const char* path, const char* name) {
    auto read = registry.GetValue(hive, path, name);
    EXPECT_TRUE(read.ok()) << name;
    return read.ok() ? *read : RegistryValue();
  };
  EXPECT_EQ(value(Hive::LocalMachine, "SOFTWARE\\Quorvane", "Quoted").text, "C:\\TeskTV \"x\"");
  EXPECT_EQ(value(Hive::LocalMachine, "SOFTWARE\\Quorvane", "Umlaut").text, "Grüße €");
  EXPECT_EQ(value(Hive::LocalMachine, "SOFTWARE\\Quorvane", "Max").text, longText);
  EXPECT_EQ(value(Hive::LocalMachine, "SOFTWARE\\Quorvane", "All").dword, 0xFFFFFFFFu);
  EXPECT_EQ(value(Hive::LocalMachine, "SOFTWARE\\Quorvane", "Long").bytes, bytes);
  EXPECT_EQ(value(Hive::LocalMachine, "SOFTWARE\\Quorvane", "Empty"), RegistryValue::Binary({}));
  EXPECT_EQ(value(Hive::LocalMachine, "SOFTWARE\\Quorvane", "Lines").text, "a\nb");
  EXPECT_EQ(value(Hive::CurrentUser, "Software\\Quorvane\\Device\\Cable", "Digital"), RegistryValue::Dword(2));

  run = Tool({"query", "HKLM\\software\\quorvane", "/v", "powerwaittime"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "\nHKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvane\n    PowerWaitTime    REG_DWORD    0x2710\n\n");
  run = Tool({"query", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvane", "/v", "Small"});
  EXPECT_EQ(run.out, "\nHKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvane\n    Small    REG_BINARY    0102AB\n\n");
  run = Tool({"query", "HKLM\\SOFTWARE\\Quorvane", "/ve"});
  EXPECT_EQ(run.out, "\nHKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvane\n    (Default)    REG_SZ    default\n\n");

  // Export, import into a second machine, export again: the same file.
  const std::string exported = hives.folder.path() + "/out.reg";
  run = Tool({"export", "hklm\\SOFTWARE", exported});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string text = ReadFile(exported);
  EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE]\n\n"
                       "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvane]\n\"AppPath\"=\"/opt/quorvane/bin\"\n"
                       "\"Quoted\"=\"C:\\\\TeskTV \\\"x\\\"\"\n",
                       0),
            0u)
      << text;
  EXPECT_NE(text.find("\"PowerWaitTime\"=dword:00002710\n"), std::string::npos);
  EXPECT_NE(text.find("@=\"default\"\n"), std::string::npos);
  std::istringstream lines(text);
  // Hex data wraps as regedit wraps it; text is never wrapped.
  for (std::string line; std::getline(lines, line);) {
    if (line.find("=hex") != std::string::npos || line.rfind("  ", 0) == 0) {
      EXPECT_LE(line.size(), 80u) << line;
    }
  }

  testing::TempHives second;
  second.Export();
  run = Tool({"import", exported});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string again = second.folder.path() + "/again.reg";
  run = Tool({"export", "HKLM\\SOFTWARE", again});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadFile(again), text);
  auto copied = Registry(second.locations).OpenKey(Hive::LocalMachine, "SOFTWARE\\Quorvane");
  auto original = registry.OpenKey(Hive::LocalMachine, "SOFTWARE\\Quorvane");
  ASSERT_TRUE(copied.ok() && original.ok());
  const auto copiedValues = copied->Values();
  const auto originalValues = original->Values();
  ASSERT_EQ(copiedValues->size(), originalValues->size());
  for (std::size_t i = 0; i < originalValues->size(); ++i) {
    EXPECT_EQ((*copiedValues)[i].name, (*originalValues)[i].name);
    EXPECT_EQ((*copiedValues)[i].value, (*originalValues)[i].value) << (*originalValues)[i].name;
  }
}

TEST_F(RegToolTest, QueryPrintsValuesThenSubkeysAndRecursesWithS) {
  ASSERT_TRUE(
      registry.SetValue(Hive::CurrentUser, "Software\\Quorvane", "MsgBox", RegistryValue::String("false")).ok());
  ASSERT_TRUE(
      registry.SetValue(Hive::CurrentUser, "Software\\Quorvane\\Device", "Count", RegistryValue::Dword(10)).ok());
  ASSERT_TRUE(registry.CreateKey(Hive::CurrentUser, "Software\\Quorvane\\Velmora Scheduler").ok());

  ToolRun run = Tool({"query", "hkcu\\SOFTWARE\\QUORVANE"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "\nHKEY_CURRENT_USER\\Software\\Quorvane\n"
            "    MsgBox    REG_SZ    false\n"
            "\n"
            "HKEY_CURRENT_USER\\Software\\Quorvane\\Device\n"
            "HKEY_CURRENT_USER\\Software\\Quorvane\\Velmora Scheduler\n");

  run = Tool({"query", "HKEY_CURRENT_USER\\Software\\Quorvane", "/s"});
  EXPECT_EQ(run.out,
            "\nHKEY_CURRENT_USER\\Software\\Quorvane\n"
            "    MsgBox    REG_SZ    false\n"
            "\n"
            "HKEY_CURRENT_USER\\Software\\Quorvane\\Device\n"
            "    Count    REG_DWORD    0xa\n"
            "\n"
            "HKEY_CURRENT_USER\\Software\\Quorvane\\Velmora Scheduler\n"
            "\n");

  run = Tool({"query", "HKU\\" + platform::UserSid(geteuid()) + "\\software\\quorvane\\device", "/v", "COUNT"});
  EXPECT_EQ(run.out, "\nHKEY_USERS\\" + platform::UserSid(geteuid()) +
                         "\\Software\\Quorvane\\Device\n    Count    REG_DWORD    0xa\n\n");

  ExpectRefused(Tool({"query", "HKCU\\Software\\Missing"}), "missing key");
  ExpectRefused(Tool({"query", "HKCU\\Software\\Quorvane", "/v", "Missing"}), "missing value");
}

TEST_F(RegToolTest, AddAndDeleteWorkInAnyLetterCase) {
  EXPECT_EQ(Tool({"add", "hkcu\\Software\\MiXeD", "/v", "Speed", "/t", "reg_dword", "/d", "0x1F"}).status, 0);
  EXPECT_EQ(Tool({"add", "HKCU\\SOFTWARE\\mixed", "/v", "Dec", "/t", "REG_DWORD", "/d", "4294967295"}).status, 0);
  EXPECT_EQ(Tool({"add", "HKCU\\software\\MIXED", "/v", "Bytes", "/t", "REG_BINARY", "/d", "00ff10"}).status, 0);
  EXPECT_EQ(Tool({"add", "HKEY_CURRENT_USER\\Software\\Mixed", "/ve", "/d", "/a/path", "/f"}).status, 0);
  EXPECT_EQ(Tool({"add", "HKCU\\Software\\Mixed\\Sub"}).status, 0);
  EXPECT_EQ(registry.GetValue(Hive::CurrentUser, "Software\\MiXeD", "speed")->dword, 0x1Fu);
  EXPECT_EQ(registry.GetValue(Hive::CurrentUser, "Software\\MiXeD", "dec")->dword, 0xFFFFFFFFu);
  EXPECT_EQ(*registry.GetValue(Hive::CurrentUser, "Software\\MiXeD", "bytes"), RegistryValue::Binary({0, 0xFF, 0x10}));
  EXPECT_EQ(registry.GetValue(Hive::CurrentUser, "Software\\MiXeD", "")->text, "/a/path");
  EXPECT_EQ(registry.OpenKey(Hive::CurrentUser, "software\\mixed\\sub")->path(),
            "HKEY_CURRENT_USER\\Software\\MiXeD\\Sub");

  EXPECT_EQ(Tool({"delete", "HKCU\\Software\\mixed", "/v", "SPEED", "/f"}).status, 0);
  EXPECT_FALSE(registry.GetValue(Hive::CurrentUser, "Software\\MiXeD", "Speed").ok());
  EXPECT_EQ(Tool({"delete", "HKCU\\Software\\mixed", "/va"}).status, 0);
  EXPECT_TRUE(registry.OpenKey(Hive::CurrentUser, "Software\\MiXeD")->Values()->empty());
  EXPECT_EQ(Tool({"delete", "hkcu\\SOFTWARE\\MIXED"}).status, 0);
  EXPECT_FALSE(registry.OpenKey(Hive::CurrentUser, "Software\\MiXeD").ok());
  EXPECT_TRUE(registry.OpenKey(Hive::CurrentUser, "Software").ok());

  for (const auto& args : std::vector<std::vector<std::string>>{
           {"add", "HKCU\\X", "/v", "n", "/t", "REG_DWORD", "/d", "4294967296"},
           {"add", "HKCU\\X", "/v", "n", "/t", "REG_DWORD", "/d", "12abc"},
           {"add", "HKCU\\X", "/v", "n", "/t", "REG_BINARY", "/d", "0g"},
           {"add", "HKCU\\X", "/v", "n", "/t", "REG_MULTI_SZ", "/d", "a"},
           {"add", "HKCU\\X", "/v", "n", "/d", std::string(260, 'a')},
           {"add", "HKCU\\X", "/v", "n", "/ve"},
           {"add", "HKXX\\X"},
           {"add", "HKCU\\X", "/bogus"},
           {"delete", "HKCU\\Missing"},
           {"delete", "HKLM"},
           {"frobnicate"},
           {},
       }) {
    ExpectRefused(Tool(args), args.empty() ? "no arguments" : args.back());
  }
  EXPECT_FALSE(registry.OpenKey(Hive::CurrentUser, "X").ok());
}

TEST_F(RegToolTest, BadFilesAreRefusedWithNothingChanged) {
  ASSERT_TRUE(
      registry.SetValue(Hive::LocalMachine, "SOFTWARE\\Quorvane", "AppPath", RegistryValue::String("/old")).ok());
  const std::string header = "Windows Registry Editor Version 5.00\n\n";
  // Each file begins with good changes to both hives; the fault comes later.
  const std::string good =
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvane]\n\"AppPath\"=\"/new\"\n"
      "[HKEY_CURRENT_USER\\SOFTWARE\\Quorvane]\n\"MsgBox\"=\"false\"\n"
      "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvane]\n";
  struct Case {
    const char* what;
    std::string content;
  };
  const Case cases[] = {
      {"no header", good},
      {"unknown hive", header + good + "[HKEY_CURRENT_CONFIG\\X]\n"},
      {"unknown user", header + good + "[HKEY_USERS\\S-1-5-18\\X]\n\"a\"=\"b\"\n"},
      {"bad dword", header + good + "[HKCU\\X]\n\"a\"=dword:12345678z\n"},
      {"dword too long", header + good + "[HKCU\\X]\n\"a\"=dword:123456789\n"},
      {"text too long", header + good + "[HKCU\\X]\n\"a\"=\"" + std::string(260, 'a') + "\"\n"},
      {"unfinished text", header + good + "[HKCU\\X]\n\"a\"=\"abc\n"},
      {"unknown escape", header + good + "[HKCU\\X]\n\"a\"=\"a\\tb\"\n"},
      {"bad hex", header + good + "[HKCU\\X]\n\"a\"=hex:01,2g\n"},
      {"unsupported type", header + good + "[HKCU\\X]\n\"a\"=hex(7):61,00,00,00\n"},
      {"continuation past the end", header + good + "[HKCU\\X]\n\"a\"=hex:01,\\\n"},
      {"value outside a key", header + "\"a\"=\"b\"\n" + good},
      {"missing bracket", header + good + "[HKCU\\X\n"},
      {"no equals sign", header + good + "[HKCU\\X]\n\"a\" \"b\"\n"},
      {"root deletion", header + good + "[-HKEY_CURRENT_USER]\n"},
      {"key name too long", header + good + "[HKCU\\" + std::string(256, 'k') + "]\n"},
      {"not UTF-8", header + good + "[HKCU\\X]\n\"a\"=\"\xC3\x28\"\n"},
      {"garbage line", header + good + "garbage\n"},
  };
  for (const auto& c : cases) {
    const ToolRun run = Tool({"import", File("bad.reg", c.content)});
    ExpectRefused(run, c.what);
    EXPECT_EQ(registry.GetValue(Hive::LocalMachine, "SOFTWARE\\Quorvane", "AppPath")->text, "/old") << c.what;
    EXPECT_FALSE(std::filesystem::exists(hives.locations.UserHivePath())) << c.what;
  }
  ExpectRefused(Tool({"import", hives.folder.path() + "/missing.reg"}), "missing file");

  // The good part alone goes through, [-KEY] and "name"=- included.
  const std::string goodFile = File("good.reg", header + good + "[HKCU\\SOFTWARE\\Quorvane]\n\"MsgBox\"=-\n");
  ASSERT_EQ(Tool({"import", goodFile}).status, 0);
  EXPECT_FALSE(registry.OpenKey(Hive::LocalMachine, "SOFTWARE\\Quorvane").ok());
  EXPECT_TRUE(registry.OpenKey(Hive::CurrentUser, "SOFTWARE\\Quorvane").ok());
  EXPECT_FALSE(registry.GetValue(Hive::CurrentUser, "SOFTWARE\\Quorvane", "MsgBox").ok());
}

TEST_F(RegToolTest, AnImportNeedingAReadOnlyHiveChangesNoHive) {
  ASSERT_TRUE(
      registry.SetValue(Hive::LocalMachine, "SOFTWARE\\Quorvane", "AppPath", RegistryValue::String("/old")).ok());
  const std::string file = File("both.reg",
                                "REGEDIT4\n\n[HKEY_CURRENT_USER\\SOFTWARE\\Quorvane]\n\"MsgBox\"=\"false\"\n"
                                "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvane]\n\"AppPath\"=\"/new\"\n");
  const char* tool = std::getenv("QUORVANE_REG_TOOL");
  ASSERT_NE(tool, nullptr);
  const std::string toolPath = tool;
  chmod(file.c_str(), 0644);
  const int result = testing::RunWithoutMachineWriteRights(hives, [&] {
    const int devnull = open("/dev/null", O_WRONLY);
    dup2(devnull, 1);
    dup2(devnull, 2);
    execl(toolPath.c_str(), toolPath.c_str(), "import", file.c_str(), static_cast<char*>(nullptr));
    return 127;
  });
  EXPECT_EQ(result, 1);
  EXPECT_EQ(registry.GetValue(Hive::LocalMachine, "SOFTWARE\\Quorvane", "AppPath")->text, "/old");
  EXPECT_FALSE(registry.GetValue(Hive::CurrentUser, "SOFTWARE\\Quorvane", "MsgBox").ok());
}

TEST_F(RegToolTest, TheInstalledMachineDefaultsImport) {
  const char* source = std::getenv("QUORVANE_SOURCE_DIR");
  ASSERT_NE(source, nullptr);
  std::string text = ReadFile(std::string(source) + "/data/machine-defaults.reg");
  ASSERT_FALSE(text.empty());
  // As the install step does: the prefix replaces its token.
  for (std::size_t at; (at = text.find("@PREFIX@")) != std::string::npos;) text.replace(at, 8, "/opt/q");
  const ToolRun run = Tool({"import", File("defaults.reg", text)});
  ASSERT_EQ(run.status, 0) << run.err;

  const auto textOf = [&](const char* path, const char* name) {
    auto value = registry.GetValue(Hive::LocalMachine, path, name);
    return value && value->type == platform::ValueType::String ? value->text : std::string("<missing>");
  };
  const auto numberOf = [&](const char* name) {
    auto value = registry.GetValue(Hive::LocalMachine, "SOFTWARE\\Quorvane", name);
    return value && value->type == platform::ValueType::Dword ? value->dword : 0xDEADu;
  };
  EXPECT_EQ(textOf("SOFTWARE\\Quorvane", "AppPath"), "/opt/q/bin");
  EXPECT_EQ(textOf("SOFTWARE\\Quorvane", "DBPath"), "/opt/q/share/quorvane/db");
  EXPECT_EQ(textOf("SOFTWARE\\Quorvane", "LearningFile"), "Keywise");
  EXPECT_EQ(numberOf("PowerWaitTime"), 10000u);
  EXPECT_EQ(numberOf("DetectSignalLoop"), 3u);
  EXPECT_EQ(numberOf("StartRecSec"), 60u);
  EXPECT_EQ(numberOf("CountDownSec"), 60u);
  EXPECT_EQ(textOf("SOFTWARE\\Quorvane\\Velmora Scheduler", "AppPath"), "/opt/q/bin");
  EXPECT_EQ(textOf("SOFTWARE\\Quorvane\\Velmora Scheduler", "LangPath").rfind("/opt/q/share/quorvane/lang", 0), 0u);
  EXPECT_NE(textOf("SOFTWARE\\Quorvane\\Velmora Scheduler", "SystemIni"), "<missing>");
  EXPECT_EQ(textOf("SOFTWARE\\Velmora Plug-in", "DBPath"), "/opt/q/share/quorvane/db");
  EXPECT_EQ(textOf("SOFTWARE\\Quorvane\\Common\\IEPG", "Data Path").back(), '/');
  EXPECT_TRUE(registry.GetValue(Hive::LocalMachine, "SOFTWARE\\Quorvane\\Common\\IEPG", "T_ID").ok());

  const std::pair<const char*, const char*> countries[] = {
      {"0409", "rcenu"}, {"0809", "rceng"}, {"040c", "rcfre"},    {"0C0C", "rcfrc"}, {"0c0a", "rcspa"},
      {"0407", "rcger"}, {"0410", "rcita"}, {"0416", "rcpor"},    {"0419", "rcrus"}, {"0408", "rcgre"},
      {"0404", "rctrd"}, {"0804", "rcsim"}, {"Default", "rcenu"},
  };
  for (const auto& [id, code] : countries) EXPECT_EQ(textOf("SOFTWARE\\Quorvane\\Common\\Country", id), code) << id;
}

TEST_F(RegToolTest, HelpIsPrinted) {
  for (const char* help : {"/?", "--help"}) {
    const ToolRun run = Tool({help});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("quorvane-reg query KEY"), std::string::npos);
  }
  EXPECT_EQ(Tool({"import", "/?"}).status, 0);
}

TEST(RegFileTest, ExportWrapsLongHexAndReadsItBack) {
  const platform::NamedValue value{"Codes", RegistryValue::Binary(LongBytes())};
  const std::string text = FormatRegValue(value);
  EXPECT_EQ(text.rfind("\"Codes\"=hex:00,07,0e,15,", 0), 0u) << text;
  std::istringstream lines(text);
  int count = 0;
  for (std::string line; std::getline(lines, line); ++count) {
    EXPECT_LE(line.size(), 80u);
    if (count > 0) {
      EXPECT_EQ(line.rfind("  ", 0), 0u);
    }
  }
  EXPECT_GT(count, 3);
  auto parsed = ParseRegFile("REGEDIT4\n[HKLM\\X]\n" + text + "\n");
  ASSERT_TRUE(parsed.ok()) << parsed.error().message;
  ASSERT_EQ(parsed->size(), 2u);
  EXPECT_EQ((*parsed)[1].value, value.value);

  // Text with a line break travels as hex(1), UTF-16LE with a terminator.
  EXPECT_EQ(FormatRegValue({"", RegistryValue::String("a\nb")}), "@=hex(1):61,00,0a,00,62,00,00,00");
  auto utf16 = ParseRegFile(std::string("\xFF\xFE", 2) + std::string("R\0E\0G\0E\0D\0I\0T\0004\0\n\0", 18) +
                            std::string("[\0H\0K\0C\0U\0\\\0X\0]\0", 16));
  ASSERT_TRUE(utf16.ok()) << utf16.error().message;
  EXPECT_EQ((*utf16)[0].path, "X");
}

}  // namespace
}  // namespace quorvane::tools
