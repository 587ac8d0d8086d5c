#pragma once
// The exchange folder of programme-guide records and the numbered record
// files in it. Every account's handler writes there, so the folder is
// created world-writable with the sticky bit, and a record number is taken
// by creating its file exclusively: two handlers started in the same second
// begin from the same pseudo-random number, and the one that loses the race
// for a name moves on to the next.

#include <cstdint>
#include <string>
#include <string_view>

#include "common/settings/SettingsStore.h"
#include "platform/base/Result.h"

namespace quorvane::iepg {

// `Data Path` from HKEY_CURRENT_USER, else HKEY_LOCAL_MACHINE; empty when
// neither holds one.
std::string ReadDataPath(const SettingsStore& settings);

// Creates the folder the Data Path names (without its final separator) and
// any missing parents. The folder itself is given mode 1777; parents get
// the usual 0755 (less the umask). An existing folder is left as it is.
platform::Status CreateExchangeFolder(std::string_view dataPath);

// The Data Path followed directly by the number and ".iepg", as the
// scheduler builds the same name from the number it is sent.
std::string RecordFilePath(std::string_view dataPath, std::int64_t number);

// The first number the handler tries is one more than this value: a
// pseudo-random number 0 ... 32767 drawn from a generator seeded with
// `seed` (the current time in seconds).
std::uint32_t SeededRandomStart(std::uint32_t seed);

struct ReservedRecord {
  std::int32_t number = 0;
  std::string path;
};

// Creates the record file of `first`, `first` + 1, ... exclusively (never
// through a symbolic link) and returns the first one that was free. The
// file is left empty for the conversion to fill.
platform::Result<ReservedRecord> ReserveRecordFile(std::string_view dataPath, std::int64_t first);

}  // namespace quorvane::iepg
