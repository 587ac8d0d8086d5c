#pragma once
// Look-ups in initialisation files with the rules the language files and
// the log settings were written for: sections in square brackets, "key=text"
// lines, section and key names compared without regard to case, the first
// matching entry wins (sections of the same name count as one), blanks
// around names and texts are dropped, and a text in matching single or
// double quotes loses the quotes. Lines starting with ';' and lines without
// '=' are ignored.
//
// Every call reads the file anew: a changed file is seen at the next call.

#include <optional>
#include <string>
#include <string_view>

namespace quorvane::platform {

// The entry's text in UTF-8, or nothing when the file, the section or the
// key is missing, or the file cannot be read (too large, not a file).
std::optional<std::string> ReadIniString(const std::string& path, std::string_view section,
                                         std::string_view key);

// The entry read as a number: optional sign and the leading decimal digits
// ("20480 bytes" gives 20480, "abc" gives 0). A missing or empty entry
// gives the fallback. Values beyond the int range saturate.
int ReadIniInt(const std::string& path, std::string_view section, std::string_view key, int fallback);

// The same rules applied to text already in memory.
std::optional<std::string> FindIniValue(std::string_view text, std::string_view section,
                                        std::string_view key);
int ParseIniInt(std::string_view value, int fallback);

}  // namespace quorvane::platform
