#include <gtest/gtest.h>

#include <filesystem>

#include "iepg/DecoderKey.h"
#include "iepg/TitanIEPG.h"
#include "platform/debug/DebugOutput.h"
#include "tests/iepg/IepgTestSupport.h"

namespace quorvane::iepg {
namespace {

using testing::IepgMachine;
using testing::ProgramFields;
using testing::ReadRecord;
using testing::TitanFile;
using Values = std::map<std::string, std::string>;

const ProgramFields kEvening{
    {"program-title", "Evening News"},  {"tv-mode", "digital"},       {"station", "WXYZ"},
    {"rf-channel", "32"},               {"psip-major", "7"},          {"psip-minor", "1"},
    {"start-date", "20260131"},         {"start-time", "23:30"},      {"end-date", "20260201"},
    {"end-time", "00:45"},              {"duration", "01:15"},        {"episode-title", "Late"},
    {"program-description", "Today."},
};

class TitanConversionTest : public ::testing::Test {
 protected:
  // Converts `content` (encrypted first) into a fresh record file, made
  // empty beforehand as the handler reserves it.
  Values Convert(const std::string& content, HRESULT expected = platform::S_OK) {
    const std::string input = machine_.Download("show.tvpi", content);
    output_ = machine_.RecordPath(++number_);
    testing::WriteText(output_, "");
    CTitanIEPG titan(testing::kHandlerPath, machine_.settings());
    EXPECT_EQ(titan.ConvertFile(input, output_), expected);
    return ReadRecord(output_);
  }

  IepgMachine machine_;
  std::string output_;
  int number_ = 0;
};

TEST_F(TitanConversionTest, RecordRequestGivesTheRecordOfItsFirstProgramme) {
  ProgramFields second{{"program-title", "Late Show"}, {"tv-mode", "analog"}, {"rf-channel", "4"}};
  const Values record = Convert(TitanFile("tv-program-info", {kEvening, second}));
  EXPECT_EQ(record, (Values{{"RFChannel", "32"},
                            {"Mode", "digital"},
                            {"MajorChannel", "7"},
                            {"MinorChannel", "1"},
                            {"Duration", "75"},
                            {"StartTime/Year", "2026"},
                            {"StartTime/Month", "1"},
                            {"StartTime/Day", "31"},
                            {"StartTime/Hour", "23"},
                            {"StartTime/Minutes", "30"},
                            {"Title", "Evening News"}}));
  // The record is a document of its own, in the order the scheduler reads it.
  const std::string text = testing::ReadText(output_);
  EXPECT_EQ(text.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0), 0u) << text;
  EXPECT_LT(text.find("<RFChannel>"), text.find("<Mode>"));
  EXPECT_LT(text.find("<Duration>"), text.find("<StartTime>"));
  EXPECT_LT(text.find("<StartTime>"), text.find("<Title>"));
}

TEST_F(TitanConversionTest, WatchRequestInAnotherChildOrderGivesTheSameKindOfRecord) {
  const ProgramFields program{{"duration", "00:45"},  {"start-time", "06:05"},   {"program-title", "Morning"},
                              {"rf-channel", "0212"}, {"start-date", "20260704"}, {"tv-mode", "satellite"}};
  EXPECT_EQ(Convert(TitanFile("tv-viewer-info", {program})),
            (Values{{"RFChannel", "212"},
                    {"Mode", "satellite"},
                    {"Duration", "45"},
                    {"StartTime/Year", "2026"},
                    {"StartTime/Month", "7"},
                    {"StartTime/Day", "4"},
                    {"StartTime/Hour", "6"},
                    {"StartTime/Minutes", "5"},
                    {"Title", "Morning"}}));
}

TEST_F(TitanConversionTest, ChannelsFollowTheMode) {
  struct Case {
    std::string tvMode;
    Values channels;
  };
  const std::vector<Case> cases{
      {"analog", {{"RFChannel", "5"}, {"Mode", "analog"}}},
      // Analog cable is tuned like analog.
      {"cable", {{"RFChannel", "5"}, {"Mode", "analog"}}},
      {"digital", {{"RFChannel", "5"}, {"Mode", "digital"}, {"MajorChannel", "9"}, {"MinorChannel", "3"}}},
      {"digital_cable", {{"RFChannel", "5"}, {"Mode", "digital_cable"}}},
      {"Satellite", {{"RFChannel", "5"}, {"Mode", "satellite"}}},
  };
  for (const Case& c : cases) {
    const ProgramFields program{{"tv-mode", c.tvMode}, {"rf-channel", "5"}, {"psip-major", "9"},
                                {"psip-minor", "3"},   {"program-title", "T"}};
    Values record = Convert(TitanFile("tv-program-info", {program}));
    record.erase("Title");
    EXPECT_EQ(record, c.channels) << c.tvMode;
  }
}

TEST_F(TitanConversionTest, LengthComesFromTheDurationOrFromTheEnd) {
  struct Case {
    ProgramFields times;
    std::optional<std::string> minutes;
  };
  const std::vector<Case> cases{
      {{{"duration", "02:00"}, {"end-time", "23:59"}}, "120"},
      {{{"duration", "90"}}, "90"},
      // Over midnight into the next month, from end-date and end-time.
      {{{"end-date", "20260201"}, {"end-time", "00:45"}}, "75"},
      // No end-date: an end before the start is on the next day.
      {{{"end-time", "00:10"}}, "40"},
      {{{"end-date", "20260131"}, {"end-time", "22:00"}}, std::nullopt},
      {{{"duration", "soon"}}, std::nullopt},
      {{}, std::nullopt},
  };
  for (const Case& c : cases) {
    ProgramFields program{{"program-title", "T"}, {"start-date", "20260131"}, {"start-time", "23:30"}};
    program.insert(program.end(), c.times.begin(), c.times.end());
    const Values record = Convert(TitanFile("tv-program-info", {program}));
    auto duration = record.find("Duration");
    EXPECT_EQ(duration == record.end() ? std::nullopt : std::optional<std::string>(duration->second), c.minutes)
        << "case with " << c.times.size() << " time fields, first "
        << (c.times.empty() ? "-" : c.times.front().first);
  }
}

TEST_F(TitanConversionTest, ValuesThatAreNoNumbersAreLeftOut) {
  const ProgramFields program{{"program-title", "T"}, {"tv-mode", "digital"},      {"rf-channel", "x1"},
                              {"psip-major", "-7"},   {"psip-minor", "1.5"},       {"start-date", "20261301"},
                              {"start-time", "10:00"}};
  EXPECT_EQ(Convert(TitanFile("tv-program-info", {program})), (Values{{"Mode", "digital"}, {"Title", "T"}}));
}

TEST_F(TitanConversionTest, BareAmpersandInATitleIsRecovered) {
  const Values record = Convert(
      TitanFile("tv-program-info", {{{"program-title", "Tom & Jerry &amp; Friends"}, {"rf-channel", "3"}}}));
  EXPECT_EQ(record.at("Title"), "Tom & Jerry & Friends");
}

TEST_F(TitanConversionTest, NamespacedFileConvertsTheSame) {
  const std::string content =
      "<tv-program-info xmlns=\"http://example.org/titantv\" version=\"1.0\"><program>"
      "<program-title>Spaced</program-title><rf-channel>8</rf-channel></program></tv-program-info>";
  EXPECT_EQ(Convert(content), (Values{{"RFChannel", "8"}, {"Title", "Spaced"}}));
}

TEST_F(TitanConversionTest, LocalFilesNeverReachTheRecord) {
  const std::string secretPath = machine_.dir().File("secret.txt");
  testing::WriteText(secretPath, "TOP-SECRET-CONTENT");
  const std::string url = "file://" + secretPath;
  const std::vector<std::string> attacks{
      "<!DOCTYPE tv-program-info [<!ENTITY leak SYSTEM \"" + url + "\">]>"
      "<tv-program-info version=\"1.0\"><program><program-title>&leak;</program-title></program></tv-program-info>",
      "<!DOCTYPE tv-program-info SYSTEM \"" + url + "\">"
      "<tv-program-info version=\"1.0\"><program><program-title>x</program-title></program></tv-program-info>",
      "<!DOCTYPE tv-program-info [<!ENTITY % p SYSTEM \"" + url + "\"> %p;]>"
      "<tv-program-info version=\"1.0\"><program><program-title>x</program-title></program></tv-program-info>",
      "<tv-program-info version=\"1.0\" xmlns:xi=\"http://www.w3.org/2001/XInclude\"><program><program-title>"
      "<xi:include href=\"" + url + "\" parse=\"text\"/></program-title></program></tv-program-info>",
  };
  for (const std::string& attack : attacks) {
    (void)Convert(attack);
    EXPECT_EQ(testing::ReadText(output_).find("TOP-SECRET"), std::string::npos) << attack;
  }
}

TEST_F(TitanConversionTest, UnusableFilesLeaveTheRecordEmpty) {
  const std::vector<std::pair<std::string, std::string>> cases{
      {"malformed", "<tv-program-info version=\"1.0\"><program><program-title>cut"},
      {"not TitanTV", "<tv-listing><program><program-title>x</program-title></program></tv-listing>"},
      {"no programme", "<tv-program-info version=\"1.0\"/>"},
      {"oversized", "<tv-program-info>" + std::string(CIEPG::kMaxSourceBytes, ' ') + "</tv-program-info>"},
      {"binary", std::string("\x00\x01\x02\xff garbage", 12)},
  };
  for (const auto& [name, content] : cases) {
    const Values record = Convert(content);
    EXPECT_TRUE(record.empty()) << name;
    EXPECT_EQ(std::filesystem::file_size(output_), 0u) << name;
  }
}

TEST_F(TitanConversionTest, PlainFilePassesTheDecoderUnchanged) {
  const std::string input = machine_.Download("plain.tvpi", TitanFile("tv-program-info", {kEvening}), false);
  std::filesystem::create_directories(machine_.dataPath());
  CTitanIEPG titan(testing::kHandlerPath, machine_.settings());
  ASSERT_EQ(titan.ConvertFile(input, machine_.RecordPath(1)), platform::S_OK);
  EXPECT_EQ(ReadRecord(machine_.RecordPath(1)).at("Title"), "Evening News");
}

TEST_F(TitanConversionTest, WrongKeyLeavesTheFileEncryptedAndTheRecordEmpty) {
  const std::string input = machine_.Download("show.tvpi", TitanFile("tv-program-info", {kEvening}), false);
  testing::EncryptWithStandInDecoder(input, "another key", testing::kKeyId);
  const std::string encrypted = testing::ReadText(input);
  std::filesystem::create_directories(machine_.dataPath());
  CTitanIEPG titan(testing::kHandlerPath, machine_.settings());
  EXPECT_EQ(titan.ConvertFile(input, machine_.RecordPath(1)), platform::S_OK);
  EXPECT_EQ(testing::ReadText(input), encrypted);
  EXPECT_TRUE(ReadRecord(machine_.RecordPath(1)).empty());
}

TEST(DecoderKeyTest, DescramblesEvenAndOddBytesDifferentlyWithWrapAround) {
  EXPECT_EQ(DescrambleKeyText("bcbc"), "aaaa");
  EXPECT_EQ(DescrambleKeyText("BDFH"), "ABEF");
  EXPECT_EQ(DescrambleKeyText(std::string("\x00\x01", 2)), "\xff\xff");
  EXPECT_EQ(DescrambleKeyText(""), "");
}

TEST_F(TitanConversionTest, KeyOfThirtyTwoBytesIsUsedAndOneOfThirtyThreeRefused) {
  struct Case {
    std::string key;
    HRESULT expected;
  };
  const std::vector<Case> cases{
      {std::string(32, 'k'), platform::S_OK},
      {std::string(33, 'k'), platform::E_UNEXPECTED},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(machine_.settings().WriteString(Hive::LocalMachine, kIepgKey, kKeyTextValue,
                                                testing::ScrambleKeyText(c.key)));
    const std::string input = machine_.Download("key.tvpi", TitanFile("tv-program-info", {kEvening}), false);
    // Encrypted for the key as the decoder receives it (33 bytes cannot be).
    testing::EncryptWithStandInDecoder(input, c.key.substr(0, 32), testing::kKeyId);
    std::filesystem::create_directories(machine_.dataPath());
    output_ = machine_.RecordPath(++number_);
    CTitanIEPG titan(testing::kHandlerPath, machine_.settings());
    EXPECT_EQ(titan.ConvertFile(input, output_), c.expected) << c.key.size();
    EXPECT_EQ(ReadRecord(output_).count("Title"), c.expected == platform::S_OK ? 1u : 0u) << c.key.size();
  }
}

TEST_F(TitanConversionTest, MissingKeyValuesFailTheConversion) {
  for (const char* value : {kKeyTextValue, kKeyIdValue}) {
    IepgMachine machine;
    ASSERT_TRUE(machine.settings().DeleteValue(Hive::LocalMachine, kIepgKey, value));
    const std::string input = machine.Download("show.tvpi", TitanFile("tv-program-info", {kEvening}));
    CTitanIEPG titan(testing::kHandlerPath, machine.settings());
    EXPECT_EQ(titan.ConvertFile(input, machine.dir().File("out.iepg")), platform::E_UNEXPECTED) << value;
    EXPECT_FALSE(std::filesystem::exists(machine.dir().File("out.iepg")));
  }
}

TEST_F(TitanConversionTest, DecoderIsLookedForInTheHandlersOwnFolder) {
  const std::string input = machine_.Download("show.tvpi", TitanFile("tv-program-info", {kEvening}));
  const std::string output = machine_.dir().File("out.iepg");
  platform::DebugCapture debug;

  // No folder in the path.
  EXPECT_EQ(CTitanIEPG("TeskIEPG", machine_.settings()).ConvertFile(input, output), platform::E_UNEXPECTED);

  // A folder without the decoder.
  const std::string empty = machine_.dir().File("bin-empty");
  std::filesystem::create_directories(empty);
  EXPECT_EQ(CTitanIEPG(empty + "/TeskIEPG", machine_.settings()).ConvertFile(input, output), E_ABORT);
  EXPECT_TRUE(debug.Contains("[CTitanIEPG::ConvertFile] LoadLibrary failed."));

  // A library of that name without the export.
  const std::string other = machine_.dir().File("bin-other");
  std::filesystem::create_directories(other);
  std::filesystem::copy_file(QUORVANE_NO_EXPORT_LIBRARY, other + "/" + kDecoderFileName);
  EXPECT_EQ(CTitanIEPG(other + "/TeskIEPG", machine_.settings()).ConvertFile(input, output), E_ABORT);

  EXPECT_FALSE(std::filesystem::exists(output));
}

}  // namespace
}  // namespace quorvane::iepg
