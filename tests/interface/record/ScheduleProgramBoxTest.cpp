#include "interface/record/ScheduleProgramBox.h"

#include <gtest/gtest.h>

#include <cstring>

namespace quorvane::wire {
namespace {

std::int32_t IntAt(const BoxBytes& bytes, std::size_t offset) {
  return static_cast<std::int32_t>(bytes[offset] | (bytes[offset + 1] << 8) | (bytes[offset + 2] << 16) |
                                   (static_cast<std::uint32_t>(bytes[offset + 3]) << 24));
}

char16_t UnitAt(const BoxBytes& bytes, std::size_t offset) {
  return static_cast<char16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

// Every field holds a value of its own so that a misplaced field shows.
SCHEDULE_PROGRAM_BOX DistinctBox() {
  SCHEDULE_PROGRAM_BOX box;
  SetText(box.ID, "I");
  SetText(box.description, "D");
  box.enable = 1;
  box.action = 2;
  box.eAction = 3;
  SetText(box.error, "E");
  SetText(box.device, "V");
  box.devicenum = 4;
  box.insource = 5;
  SetText(box.szMajorCh, "12345");
  SetText(box.szMinorCh, "678");
  box.interval = WEEKLY;
  for (int i = 0; i < 7; ++i) box.dayOfWeeks[i] = 10 + i;
  box.dtime = {2026, 3, 29, 1, 59, 58};
  box.startdtime = {2027, 4, 30, 2, 3, 4};
  box.enddtime = {2028, 5, 31, 6, 7, 8};
  box.timelen = -17;
  SetText(box.recpath, "P");
  SetText(box.recfile, "F");
  box.splitfile = 1;
  box.splitsize = 700;
  SetText(box.szAPPath, "A");
  std::int32_t value = 100;
  for (std::int32_t* field : {&box.lVideoInputFormat, &box.lVideoOutputFormat, &box.bIsCbr,
                              &box.lVideoAverageBitRate, &box.lVideoMaxBitRate, &box.lVideoMinBitRate,
                              &box.lAudioFormat, &box.lAudioPeak, &box.lAudioAverageBitRate, &box.lAudioBitRate,
                              &box.bEnablePreview, &box.lAudioVolume, &box.nRecordStatus}) {
    *field = value++;
  }
  return box;
}

TEST(ScheduleProgramBox, EncodesEveryFieldAtItsOffsetLittleEndian) {
  const BoxBytes bytes = Encode(DistinctBox());
  const struct {
    std::size_t offset;
    char16_t first;
  } texts[] = {{0, u'I'}, {512, u'D'}, {1036, u'E'}, {1548, u'V'}, {2068, u'1'}, {2080, u'6'},
               {2196, u'P'}, {2708, u'F'}, {3228, u'A'}};
  for (const auto& text : texts) {
    EXPECT_EQ(UnitAt(bytes, text.offset), text.first) << text.offset;
  }
  EXPECT_EQ(UnitAt(bytes, 2068 + 8), u'5');
  EXPECT_EQ(UnitAt(bytes, 2068 + 10), 0);  // szMajorCh terminator, last unit
  EXPECT_EQ(UnitAt(bytes, 2080 + 6), 0);   // szMinorCh terminator, last unit

  const struct {
    std::size_t offset;
    std::int32_t value;
  } ints[] = {{1024, 1},     {1028, 2},     {1032, 3},     {2060, 4},     {2064, 5},     {2088, 2},
              {2092, 10},    {2116, 16},    {2120, 2026},  {2124, 3},     {2128, 29},    {2132, 1},
              {2136, 59},    {2140, 58},    {2144, 2027},  {2164, 4},     {2168, 2028},  {2188, 8},
              {2192, -17},   {3220, 1},     {3224, 700},   {3740, 100},   {3744, 101},   {3748, 102},
              {3752, 103},   {3756, 104},   {3760, 105},   {3764, 106},   {3768, 107},   {3772, 108},
              {3776, 109},   {3780, 110},   {3784, 111},   {3788, 112}};
  for (const auto& field : ints) {
    EXPECT_EQ(IntAt(bytes, field.offset), field.value) << field.offset;
  }
  EXPECT_EQ(bytes[2192], 0xEF);  // -17, lowest byte first
  EXPECT_EQ(bytes[2195], 0xFF);
}

TEST(ScheduleProgramBox, DecodeReturnsWhatWasEncoded) {
  SCHEDULE_PROGRAM_BOX box = DistinctBox();
  SetText(box.description, "Tatort \xE2\x80\x93 M\xC3\xBCnchen \xF0\x9F\x93\xBA");
  const BoxBytes bytes = Encode(box);
  auto decoded = Decode(bytes);
  ASSERT_TRUE(decoded.ok()) << decoded.error().message;
  EXPECT_EQ(Encode(*decoded), bytes);
  EXPECT_EQ(GetText(decoded->description), "Tatort \xE2\x80\x93 M\xC3\xBCnchen \xF0\x9F\x93\xBA");
  EXPECT_EQ(decoded->startdtime, (Date_Time{2027, 4, 30, 2, 3, 4}));
  EXPECT_EQ(EncodeToVector(box).size(), kScheduleProgramBoxSize);
}

TEST(ScheduleProgramBox, RefusesMalformedRecords) {
  const BoxBytes good = Encode(DistinctBox());
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    const char* expected;
  };
  auto with = [&](auto change) {
    SCHEDULE_PROGRAM_BOX box = DistinctBox();
    change(box);
    const BoxBytes bytes = Encode(box);
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
  };
  auto unterminated = [&](std::size_t offset, std::size_t units) {
    std::vector<std::uint8_t> bytes(good.begin(), good.end());
    for (std::size_t i = 0; i < units; ++i) bytes[offset + 2 * i] = 'x', bytes[offset + 2 * i + 1] = 0;
    return bytes;
  };
  const Case cases[] = {
      {"empty", {}, "0 bytes"},
      {"one byte short", std::vector<std::uint8_t>(good.begin(), good.end() - 1), "3791 bytes"},
      {"one byte long", [&] { std::vector<std::uint8_t> b(good.begin(), good.end()); b.push_back(0); return b; }(),
       "3793 bytes"},
      {"ID without terminator", unterminated(0, 256), "ID"},
      {"last text without terminator", unterminated(3228, 256), "szAPPath"},
      {"szMajorCh without terminator", unterminated(2068, 6), "szMajorCh"},
      {"szMinorCh without terminator", unterminated(2080, 4), "szMinorCh"},
      {"month 13", with([](SCHEDULE_PROGRAM_BOX& b) { b.dtime.mm = 13; }), "dtime"},
      {"month 0", with([](SCHEDULE_PROGRAM_BOX& b) { b.dtime.mm = 0; }), "dtime"},
      {"day 32", with([](SCHEDULE_PROGRAM_BOX& b) { b.dtime.dd = 32; }), "dtime"},
      {"hour 24", with([](SCHEDULE_PROGRAM_BOX& b) { b.dtime.hh = 24; }), "dtime"},
      {"minute -1", with([](SCHEDULE_PROGRAM_BOX& b) { b.dtime.min = -1; }), "dtime"},
      {"year 1899", with([](SCHEDULE_PROGRAM_BOX& b) { b.startdtime.yy = 1899; }), "startdtime"},
      {"second 60", with([](SCHEDULE_PROGRAM_BOX& b) { b.startdtime.sec = 60; }), "startdtime"},
      {"all-zero record", std::vector<std::uint8_t>(kScheduleProgramBoxSize, 0), "dtime"},
  };
  for (const Case& c : cases) {
    auto decoded = Decode(c.bytes);
    ASSERT_FALSE(decoded.ok()) << c.name;
    EXPECT_NE(decoded.error().message.find(c.expected), std::string::npos) << c.name << ": " << decoded.error().message;
  }

  // The output-only end time is not checked.
  auto lenient = Decode(with([](SCHEDULE_PROGRAM_BOX& b) { b.enddtime = {}; }));
  EXPECT_TRUE(lenient.ok());
}

TEST(ScheduleProgramBox, TextsAreCutToTheirArraysWithoutSplittingCharacters) {
  SCHEDULE_PROGRAM_BOX box;
  SetText(box.szMajorCh, "1234567");
  EXPECT_EQ(GetText(box.szMajorCh), "12345");
  SetText(box.szMinorCh, "12\xF0\x9F\x93\xBA");  // the pair would need units 2 and 3; only 2 is free
  EXPECT_EQ(GetText(box.szMinorCh), "12");
  EXPECT_EQ(box.szMinorCh[2], 0);
  SetText(box.ID, std::string(300, 'a'));
  EXPECT_EQ(GetText(box.ID), std::string(255, 'a'));
  SetText(box.ID, "short");
  EXPECT_EQ(GetText(box.ID), "short");
  EXPECT_EQ(box.ID[255], 0);
  EXPECT_EQ(box.ID[6], 0);  // the earlier long text is gone
}

}  // namespace
}  // namespace quorvane::wire
