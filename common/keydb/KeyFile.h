#pragma once
// Key files on disk: writing a learned key set, reading it back as a list,
// and filling the service's fixed table of key codes.

#include <array>
#include <cstddef>
#include <string>

#include "common/keydb/KeyList.h"
#include "common/keydb/KeyListArchive.h"
#include "platform/base/Result.h"

namespace quorvane::keydb {

enum class KeyFileWriteOutcome {
  NotCreated,   // the file could not be created (or is not a regular file); nothing changed
  WriteFailed,  // the file was created but writing failed; the partial file was deleted
  Written,
};

struct KeyFileWrite {
  KeyFileWriteOutcome outcome = KeyFileWriteOutcome::NotCreated;
  std::string message;  // why it failed
};

// Creates or truncates `path` and writes the list in the key file format,
// flushed to the disk before reporting Written.
KeyFileWrite WriteKeyFile(const std::string& path, const CRemoteKeyList& list);

// Reads the records of a key file. An error when the file cannot be opened;
// otherwise the records read (also after short data or a format error,
// which `read` reports).
struct KeyFileContents {
  CRemoteKeyList keys;
  KeyListRead read;
};
platform::Result<KeyFileContents> ReadKeyFile(const std::string& path);

// The service's key table: slot k holds the code of record k of the key
// file. Records past the last slot are not read; slots the file does not
// reach keep their previous content.
inline constexpr std::size_t kKeyTableSlots = kKeyPositionCount;
using KeyTable = std::array<KeyCode, kKeyTableSlots>;

struct KeyTableFill {
  std::size_t slotsFilled = 0;
  KeyListRead read;
};

KeyTableFill FillKeyTable(KeyArchive& archive, KeyTable& table);
// An error when the file cannot be opened; the table is then untouched.
platform::Result<KeyTableFill> FillKeyTableFromFile(const std::string& path, KeyTable& table);

}  // namespace quorvane::keydb
