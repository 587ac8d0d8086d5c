#pragma once
// A machine of its own for each handler test: hives, exchange folder and
// download folder in a temporary folder, the handler's build folder (with
// the stand-in decoder and Titan.xsl beside the executable), and TitanTV
// files to convert.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/settings/SettingsStore.h"
#include "iepg/ChildProcess.h"
#include "iepg/IepgNames.h"
#include "iepg/UserMessages.h"
#include "platform/dynlib/DynamicLibrary.h"
#include "platform/xml/XmlDocument.h"
#include "tests/support/TempDir.h"

namespace quorvane::iepg::testing {

// The build's handler; its folder holds libdmcrypto.so and xsl/Titan.xsl.
inline const std::string kHandlerPath = QUORVANE_TESKIEPG;
inline const std::string kDecoderPath = QUORVANE_DMCRYPTO;

inline constexpr char kKeyText[] = "TitanKey-0123456789";
inline constexpr std::int32_t kKeyId = 4711;

// What T_Data holds for a key: byte i plus 1 (even i) or plus 2 (odd i).
inline std::string ScrambleKeyText(const std::string& plain) {
  std::string stored = plain;
  for (std::size_t i = 0; i < stored.size(); ++i) {
    stored[i] = static_cast<char>(static_cast<unsigned char>(stored[i]) + (i % 2 == 0 ? 1 : 2));
  }
  return stored;
}

inline std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteText(const std::string& path, const std::string& text) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

// One <program> of a TitanTV file, children in the order given.
using ProgramFields = std::vector<std::pair<std::string, std::string>>;

inline std::string TitanFile(const std::string& root, const std::vector<ProgramFields>& programs) {
  std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<" + root + " version=\"1.0\">\n";
  for (const auto& program : programs) {
    text += "  <program>\n";
    for (const auto& [name, value] : program) text += "    <" + name + ">" + value + "</" + name + ">\n";
    text += "  </program>\n";
  }
  return text + "</" + root + ">\n";
}

// The values of a `.iepg` record, by path below TeskIEPG/Record; absent
// elements are missing from the map. Empty when the file is no record.
inline std::map<std::string, std::string> ReadRecord(const std::string& path) {
  std::map<std::string, std::string> values;
  auto document = platform::xml::Document::ParseFile(path);
  if (!document || document->Root().Name() != "TeskIEPG") return values;
  platform::xml::Node record = document->Root().Child("Record");
  for (const char* name : {"RFChannel", "Mode", "MajorChannel", "MinorChannel", "Duration", "StartTime/Year",
                           "StartTime/Month", "StartTime/Day", "StartTime/Hour", "StartTime/Minutes", "Title"}) {
    platform::xml::Node node = record.Select(name);
    if (node) values[name] = node.Text();
  }
  return values;
}

// Encrypts a file in place with the stand-in decoder's own format.
inline void EncryptWithStandInDecoder(const std::string& path, const std::string& key, std::int32_t id) {
  auto library = platform::DynamicLibrary::Open(kDecoderPath);
  ASSERT_TRUE(library.ok()) << library.error().message;
  auto encrypt = library->Function<DecoderFunction>("write_tvpi_encrypted");
  ASSERT_TRUE(encrypt.ok());
  ASSERT_EQ((*encrypt)(path.c_str(), id, key.c_str(), kDecoderKeyLength), 0);
}

class RecordingMessages final : public UserMessages {
 public:
  void Show(std::string_view text) override { texts.emplace_back(text); }
  std::vector<std::string> texts;
};

class RecordingLauncher final : public ProgramLauncher {
 public:
  platform::Status Start(const std::string& path) override {
    started.push_back(path);
    if (onStart) onStart();
    return platform::Status::Ok();
  }
  std::vector<std::string> started;
  std::function<void()> onStart;
};

class IepgMachine {
 public:
  IepgMachine()
      : settings_(platform::RegistryLocations{dir_.File("machine"), dir_.File("config")}),
        dataPath_(dir_.File("exchange/records") + "/"),
        downloads_(dir_.File("Downloads")) {
    std::filesystem::create_directories(downloads_);
    EXPECT_TRUE(settings_.WriteString(Hive::LocalMachine, kIepgKey, kDataPathValue, dataPath_));
    EXPECT_TRUE(settings_.WriteString(Hive::LocalMachine, kIepgKey, kKeyTextValue, ScrambleKeyText(kKeyText)));
    EXPECT_TRUE(settings_.WriteDword(Hive::LocalMachine, kIepgKey, kKeyIdValue, static_cast<std::uint32_t>(kKeyId)));
  }

  const SettingsStore& settings() const { return settings_; }
  const std::string& dataPath() const { return dataPath_; }
  const ::quorvane::testing::TempDir& dir() const { return dir_; }

  // A downloaded file, encrypted for the registry's key.
  std::string Download(const std::string& name, const std::string& content, bool encrypt = true) const {
    const std::string path = downloads_ + "/" + name;
    WriteText(path, content);
    if (encrypt) EncryptWithStandInDecoder(path, kKeyText, kKeyId);
    return path;
  }

  std::string RecordPath(std::int64_t number) const { return dataPath_ + std::to_string(number) + kRecordSuffix; }

  std::vector<std::string> RecordFiles() const {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(dataPath_, error)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  ::quorvane::testing::TempDir dir_;
  SettingsStore settings_;
  std::string dataPath_;
  std::string downloads_;
};

}  // namespace quorvane::iepg::testing
