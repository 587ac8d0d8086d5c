// The key file format: exact bytes written, the reading rules for damaged
// or hostile files, and the service's fixed table of 14 codes.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "common/keydb/KeyArchive.h"
#include "common/keydb/KeyFile.h"
#include "common/keydb/KeyListArchive.h"
#include "tests/common/keydb/KeyFileTestSupport.h"
#include "tests/support/TempDir.h"

namespace quorvane::keydb {
namespace {

using testing::CodeFor;
using testing::ExpectedKeyFile;
using testing::PutLittleEndian;

CRemoteKeyList ListOf(int count) {
  CRemoteKeyList list;
  for (int i = 0; i < count; ++i) list.Append(CKeyList{i, CodeFor(i)});
  return list;
}

std::vector<std::pair<std::int32_t, KeyCode>> RecordsOf(int count) {
  std::vector<std::pair<std::int32_t, KeyCode>> records;
  for (int i = 0; i < count; ++i) records.emplace_back(i, CodeFor(i));
  return records;
}

std::string Stored(CRemoteKeyList list) {
  KeyArchive archive = KeyArchive::ForStoring();
  EXPECT_TRUE(SerializeKeyList(archive, list).ok());
  return archive.stored();
}

TEST(KeyFileFormat, StoresTheArchiveLayoutExactly) {
  for (int n : {0, 1, 2, 14}) {
    SCOPED_TRACE(n);
    const std::string bytes = Stored(ListOf(n));
    EXPECT_EQ(bytes.size(), KeyFileSize(static_cast<std::size_t>(n)));
    EXPECT_EQ(bytes, ExpectedKeyFile(RecordsOf(n)));
  }
  EXPECT_EQ(KeyFileSize(0), 8u);
  EXPECT_EQ(KeyFileSize(1), 538u);
  EXPECT_EQ(KeyFileSize(14), 538u + 518u * 13u);
}

TEST(KeyFileFormat, LoadsWhatItStores) {
  const CRemoteKeyList original = ListOf(14);
  KeyArchive archive = KeyArchive::ForLoading(Stored(original));
  CRemoteKeyList loaded;
  ASSERT_TRUE(SerializeKeyList(archive, loaded).ok());
  EXPECT_EQ(loaded, original);
}

struct ReadCase {
  const char* name;
  std::string bytes;
  KeyListEnd end;
  std::size_t records;
};

std::string WithCount(std::string bytes, std::int64_t count) {
  PutLittleEndian(bytes, 0, static_cast<std::uint64_t>(count), 8);
  return bytes;
}

std::string Patched(std::string bytes, std::size_t offset, std::uint64_t value, int width) {
  PutLittleEndian(bytes, offset, value, width);
  return bytes;
}

// Record k >= 1 begins with its tag at this offset.
constexpr std::size_t TagOf(std::size_t k) { return 538 + 518 * (k - 1); }

std::vector<ReadCase> ReadCases() {
  const std::string three = ExpectedKeyFile(RecordsOf(3));
  // Record 1 describes the class a second time; record 2 refers to that
  // second description.
  std::string redescribed = three.substr(0, 538) + three.substr(8, 14) + three.substr(TagOf(1) + 2, 516) +
                            three.substr(TagOf(2), 518);
  redescribed = Patched(redescribed, 538 + 14 + 516, 0x8002, 2);
  return {
      {"empty file", "", KeyListEnd::ShortData, 0},
      {"count cut short", three.substr(0, 5), KeyListEnd::ShortData, 0},
      {"zero count", WithCount(three, 0), KeyListEnd::Complete, 0},
      {"negative count", WithCount(three, -1), KeyListEnd::Complete, 0},
      {"most negative count", WithCount(three, std::numeric_limits<std::int64_t>::min()), KeyListEnd::Complete, 0},
      {"count below records present", WithCount(three, 2), KeyListEnd::Complete, 2},
      {"count above records present", WithCount(three, 5), KeyListEnd::ShortData, 3},
      {"huge count", WithCount(three, std::numeric_limits<std::int64_t>::max()), KeyListEnd::ShortData, 3},
      {"null tag ends the list", Patched(three, TagOf(2), 0x0000, 2), KeyListEnd::NullObject, 2},
      {"null tag first", Patched(three, 8, 0x0000, 2), KeyListEnd::NullObject, 0},
      {"wrong class name", Patched(three, 21, 'X', 1), KeyListEnd::FormatError, 0},
      {"wrong schema", Patched(three, 10, 2, 2), KeyListEnd::FormatError, 0},
      {"wrong name length", Patched(three, 12, 9, 2), KeyListEnd::FormatError, 0},
      {"huge name length", Patched(three, 12, 0xFFFF, 2), KeyListEnd::FormatError, 0},
      {"reference to a class never described", Patched(three, TagOf(1), 0x8002, 2), KeyListEnd::FormatError, 1},
      {"reference to class index 0", Patched(three, TagOf(1), 0x8000, 2), KeyListEnd::FormatError, 1},
      {"first record refers to a class", Patched(three, 8, 0x8001, 2), KeyListEnd::FormatError, 0},
      {"object reference", Patched(three, TagOf(2), 0x0002, 2), KeyListEnd::FormatError, 2},
      {"big object escape", Patched(three, TagOf(1), 0x7FFF, 2), KeyListEnd::FormatError, 1},
      {"cut inside the class name", three.substr(0, 18), KeyListEnd::ShortData, 0},
      {"cut inside a tag", three.substr(0, TagOf(2) + 1), KeyListEnd::ShortData, 2},
      {"cut inside a code", three.substr(0, TagOf(2) - 100), KeyListEnd::ShortData, 1},
      {"bytes after the last record", three + "trailing", KeyListEnd::Complete, 3},
      {"class described twice", redescribed, KeyListEnd::Complete, 3},
  };
}

TEST(KeyFileFormat, ReadingRules) {
  for (const ReadCase& c : ReadCases()) {
    SCOPED_TRACE(c.name);
    KeyArchive archive = KeyArchive::ForLoading(c.bytes);
    CRemoteKeyList list;
    const KeyListRead read = ReadKeyList(archive, list);
    EXPECT_EQ(read.end, c.end);
    EXPECT_EQ(read.records, c.records);
    ASSERT_EQ(list.size(), c.records);
    // What was read before the stop is intact.
    for (std::size_t i = 0; i < list.size(); ++i) {
      EXPECT_EQ(list[i].id, static_cast<std::int32_t>(i));
      EXPECT_EQ(list[i].code, CodeFor(static_cast<int>(i)));
    }
    if (!read.ok()) {
      EXPECT_FALSE(read.message.empty());
    }
  }
}

TEST(KeyFileFormat, SerializeKeyListReportsDamageButKeepsWhatWasRead) {
  const std::string bytes = Patched(ExpectedKeyFile(RecordsOf(3)), TagOf(2), 0x8005, 2);
  KeyArchive archive = KeyArchive::ForLoading(bytes);
  CRemoteKeyList list;
  const platform::Status status = SerializeKeyList(archive, list);
  EXPECT_FALSE(status.ok());
  EXPECT_NE(status.error().message.find("0x8005"), std::string::npos) << status.error().message;
  EXPECT_EQ(list.size(), 2u);
}

TEST(KeyFileFormat, FileRoundTripAcrossBufferBoundaries) {
  quorvane::testing::TempDir dir;
  // 14 records make 7272 bytes, more than one 4096-byte archive buffer.
  const CRemoteKeyList original = ListOf(14);
  const std::string path = dir.File("10001.txt");
  ASSERT_EQ(WriteKeyFile(path, original).outcome, KeyFileWriteOutcome::Written);
  EXPECT_EQ(testing::ReadBytes(path), ExpectedKeyFile(RecordsOf(14)));

  auto contents = ReadKeyFile(path);
  ASSERT_TRUE(contents.ok()) << contents.error().message;
  EXPECT_EQ(contents->read.end, KeyListEnd::Complete);
  EXPECT_EQ(contents->keys, original);
}

TEST(KeyFileFormat, WriteRefusesWhatIsNoKeyFile) {
  quorvane::testing::TempDir dir;
  EXPECT_EQ(WriteKeyFile(dir.File("missing/10001.txt"), ListOf(1)).outcome, KeyFileWriteOutcome::NotCreated);
  EXPECT_EQ(WriteKeyFile(dir.path(), ListOf(1)).outcome, KeyFileWriteOutcome::NotCreated);
  // A device is never truncated into or removed.
  const KeyFileWrite toDevice = WriteKeyFile("/dev/null", ListOf(1));
  EXPECT_EQ(toDevice.outcome, KeyFileWriteOutcome::NotCreated);
  EXPECT_TRUE(std::filesystem::exists("/dev/null"));
}

TEST(KeyFileFormat, ReadFailsCleanlyOnWhatCannotBeOpened) {
  quorvane::testing::TempDir dir;
  EXPECT_FALSE(ReadKeyFile(dir.File("absent.txt")).ok());
  EXPECT_FALSE(ReadKeyFile(dir.path()).ok());
}

KeyCode Sentinel() {
  KeyCode code;
  code.fill(0xEE);
  return code;
}

TEST(KeyTable, FillsSlotsInFileOrderAndNeverPastTheLast) {
  quorvane::testing::TempDir dir;
  struct Case {
    const char* name;
    std::string bytes;
    std::size_t filled;
    KeyListEnd end;
  };
  const std::vector<Case> cases = {
      {"twenty records", ExpectedKeyFile(RecordsOf(20)), 14, KeyListEnd::RecordLimit},
      {"twenty records, huge count", WithCount(ExpectedKeyFile(RecordsOf(20)), std::numeric_limits<std::int64_t>::max()),
       14, KeyListEnd::RecordLimit},
      {"fourteen records", ExpectedKeyFile(RecordsOf(14)), 14, KeyListEnd::Complete},
      {"twelve records", ExpectedKeyFile(RecordsOf(12)), 12, KeyListEnd::Complete},
      {"format error at record 5", Patched(ExpectedKeyFile(RecordsOf(12)), TagOf(5), 0x0003, 2), 5,
       KeyListEnd::FormatError},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.File("keys.txt");
    testing::WriteBytes(path, c.bytes);
    KeyTable table;
    table.fill(Sentinel());
    auto fill = FillKeyTableFromFile(path, table);
    ASSERT_TRUE(fill.ok()) << fill.error().message;
    EXPECT_EQ(fill->slotsFilled, c.filled);
    EXPECT_EQ(fill->read.end, c.end);
    for (std::size_t slot = 0; slot < table.size(); ++slot) {
      EXPECT_EQ(table[slot], slot < c.filled ? CodeFor(static_cast<int>(slot)) : Sentinel()) << "slot " << slot;
    }
  }
}

TEST(KeyTable, MissingFileLeavesTheTableAlone) {
  quorvane::testing::TempDir dir;
  KeyTable table;
  table.fill(Sentinel());
  EXPECT_FALSE(FillKeyTableFromFile(dir.File("absent.txt"), table).ok());
  for (const KeyCode& code : table) EXPECT_EQ(code, Sentinel());
}

}  // namespace
}  // namespace quorvane::keydb
