#pragma once
// The key file format: the entry count as a signed 64-bit number, then one
// object per entry. The first object carries the class description (tag
// 0xFFFF, schema 1, name length 8, "CKeyList"); every later one refers to
// that class by its map index (tag 0x8001). An object is the 32-bit `id`
// and the 512-byte code. The file ends after the last object: 8 bytes for
// no entry, 538 + 518 * (N - 1) bytes for N entries.
//
// Loading accepts what the format allows and nothing more, since key files
// come from disk and may be damaged or hostile:
// - a null object (tag 0x0000) ends the list;
// - a class description other than "CKeyList" schema 1 is a format error;
//   as no other class can be described, no object of another class can
//   follow, and none of unknown size ever has to be skipped;
// - a class reference must name a class described before (counting from 1
//   in the order of description);
// - tags without the high bit (references to an earlier object, the
//   big-object escape 0x7FFF) never occur in key files: format error;
// - a count of 0 or less reads nothing; a count larger than the records
//   present reads the records present and ends as short data.
// Reading stops at the first short read or format error; the records read
// up to then stay in the list. Memory grows with the records actually
// present, never with the count.

#include <cstddef>
#include <limits>
#include <string>

#include "common/keydb/KeyArchive.h"
#include "common/keydb/KeyList.h"
#include "platform/base/Result.h"

namespace quorvane::keydb {

inline constexpr std::uint16_t kNullObjectTag = 0x0000;
inline constexpr std::uint16_t kNewClassTag = 0xFFFF;
inline constexpr std::uint16_t kClassTag = 0x8000;
inline constexpr std::size_t kFirstRecordBytes = 8 + 2 + 2 + 2 + 8 + 4 + kKeyCodeBytes;  // 538 with the count
inline constexpr std::size_t kLaterRecordBytes = 2 + 4 + kKeyCodeBytes;                   // 518

// Size of a key file of `entries` entries.
constexpr std::size_t KeyFileSize(std::size_t entries) {
  return entries == 0 ? 8 : kFirstRecordBytes + kLaterRecordBytes * (entries - 1);
}

enum class KeyListEnd {
  Complete,     // all counted records were read (none for a count <= 0)
  NullObject,   // a null object ended the list
  RecordLimit,  // the caller's limit was reached; the rest was not read
  ShortData,    // the data ended, or the file could not be read, inside the list
  FormatError,  // a tag, class name or schema no key file holds
};

struct KeyListRead {
  KeyListEnd end = KeyListEnd::Complete;
  std::size_t records = 0;  // records appended to the list
  std::string message;      // why reading stopped, for ShortData and FormatError

  bool ok() const { return end != KeyListEnd::ShortData && end != KeyListEnd::FormatError; }
};

// Loads records from `archive` and appends them to `list`, at most
// `maxRecords` of them.
KeyListRead ReadKeyList(KeyArchive& archive, CRemoteKeyList& list,
                        std::size_t maxRecords = std::numeric_limits<std::size_t>::max());

// Stores the list into a storing archive, or loads (appends) it from a
// loading one. Loading reports short data and format errors as an error,
// keeping the records read before them in the list.
platform::Status SerializeKeyList(KeyArchive& archive, CRemoteKeyList& list);

}  // namespace quorvane::keydb
