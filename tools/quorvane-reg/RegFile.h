#pragma once
// The Windows registration-file format (".reg"), read and written as
// UTF-8: a header line ("Windows Registry Editor Version 5.00" or
// "REGEDIT4"), then "[KEY]" sections with value lines:
//   "name"="text"        (\\ and \" escapes)     @="text" for the unnamed value
//   "name"=dword:0000000a                          "name"=hex:01,02,\ (continued)
//   "name"=hex(1):...    (UTF-16LE text)           "name"=-  deletes the value
//   [-KEY]               deletes the key and its subkeys

#include <string>
#include <string_view>
#include <vector>

#include "platform/base/Result.h"
#include "platform/registry/Hive.h"
#include "platform/registry/RegistryValue.h"

namespace quorvane::tools {

struct RegFileChange {
  enum class Kind { CreateKey, DeleteTree, SetValue, DeleteValue };
  Kind kind = Kind::CreateKey;
  platform::Hive hive = platform::Hive::LocalMachine;
  std::string path;       // below the hive root
  std::string valueName;  // SetValue, DeleteValue
  platform::RegistryValue value;
  int line = 0;
};

// Longest text a reader's buffer holds, in UTF-16 units (260 with the
// terminator); longer text would read as absent, so it is refused.
inline constexpr std::size_t kMaxTextUnits = 259;

// Parses a whole file (UTF-8 with or without byte-order mark, or UTF-16LE
// with one). Any fault refuses the whole file with "line N: ..." .
platform::Result<std::vector<RegFileChange>> ParseRegFile(std::string_view content);

// One key of an export: its full path and values.
struct RegFileKey {
  std::string path;
  std::vector<platform::NamedValue> values;
};

std::string FormatRegFile(const std::vector<RegFileKey>& keys);
// The value's line(s) as an export writes them, without the final newline.
std::string FormatRegValue(const platform::NamedValue& value);

}  // namespace quorvane::tools
