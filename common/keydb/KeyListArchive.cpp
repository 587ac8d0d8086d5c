#include "common/keydb/KeyListArchive.h"

#include <cstring>

namespace quorvane::keydb {
namespace {

constexpr std::uint16_t kClassNameLength = 8;

std::string Hex4(std::uint16_t value) {
  static const char digits[] = "0123456789abcdef";
  std::string text = "0x";
  for (int shift = 12; shift >= 0; shift -= 4) text += digits[(value >> shift) & 0xF];
  return text;
}

void Store(KeyArchive& archive, const CRemoteKeyList& list) {
  archive.WriteI64(static_cast<std::int64_t>(list.size()));
  bool described = false;
  for (const CKeyList& key : list) {
    if (!described) {
      archive.WriteU16(kNewClassTag);
      archive.WriteU16(CKeyList::kSchema);
      archive.WriteU16(kClassNameLength);
      archive.Write(CKeyList::kClassName, kClassNameLength);
      described = true;
    } else {
      archive.WriteU16(kClassTag | 1);
    }
    archive.WriteI32(key.id);
    archive.Write(key.code.data(), key.code.size());
  }
}

KeyListRead Stop(KeyListRead read, KeyListEnd end, std::string message) {
  read.end = end;
  read.message = std::move(message);
  return read;
}

}  // namespace

KeyListRead ReadKeyList(KeyArchive& archive, CRemoteKeyList& list, std::size_t maxRecords) {
  KeyListRead read;
  auto shortData = [&archive, &read] { return Stop(read, KeyListEnd::ShortData, archive.failure()); };

  std::int64_t count = 0;
  if (!archive.ReadI64(count)) return shortData();
  std::size_t classesDescribed = 0;
  for (std::int64_t i = 0; i < count; ++i) {
    if (read.records >= maxRecords) return Stop(read, KeyListEnd::RecordLimit, {});
    std::uint16_t tag = 0;
    if (!archive.ReadU16(tag)) return shortData();
    if (tag == kNullObjectTag) return Stop(read, KeyListEnd::NullObject, {});
    if (tag == kNewClassTag) {
      std::uint16_t schema = 0;
      std::uint16_t nameLength = 0;
      if (!archive.ReadU16(schema) || !archive.ReadU16(nameLength)) return shortData();
      if (nameLength != kClassNameLength) {
        return Stop(read, KeyListEnd::FormatError,
                    "record " + std::to_string(i) + ": class name of " + std::to_string(nameLength) +
                        " characters where \"CKeyList\" was expected");
      }
      char name[kClassNameLength];
      if (!archive.Read(name, sizeof name)) return shortData();
      if (std::memcmp(name, CKeyList::kClassName, kClassNameLength) != 0) {
        return Stop(read, KeyListEnd::FormatError,
                    "record " + std::to_string(i) + ": class \"" + std::string(name, sizeof name) +
                        "\" where \"CKeyList\" was expected");
      }
      if (schema != CKeyList::kSchema) {
        return Stop(read, KeyListEnd::FormatError,
                    "record " + std::to_string(i) + ": CKeyList schema " + std::to_string(schema) +
                        " where 1 was expected");
      }
      ++classesDescribed;
    } else if ((tag & kClassTag) != 0) {
      const std::size_t index = tag & ~kClassTag;
      if (index == 0 || index > classesDescribed) {
        return Stop(read, KeyListEnd::FormatError,
                    "record " + std::to_string(i) + ": tag " + Hex4(tag) + " refers to a class not described");
      }
    } else {
      return Stop(read, KeyListEnd::FormatError,
                  "record " + std::to_string(i) + ": object tag " + Hex4(tag) + " does not occur in key files");
    }
    CKeyList key;
    if (!archive.ReadI32(key.id) || !archive.Read(key.code.data(), key.code.size())) return shortData();
    list.Append(key);
    ++read.records;
  }
  return read;
}

platform::Status SerializeKeyList(KeyArchive& archive, CRemoteKeyList& list) {
  if (archive.IsStoring()) {
    Store(archive, list);
    return platform::Status::Ok();
  }
  const KeyListRead read = ReadKeyList(archive, list);
  if (!read.ok()) return platform::MakeError(read.message);
  return platform::Status::Ok();
}

}  // namespace quorvane::keydb
