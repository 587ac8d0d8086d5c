#pragma once
// quorvane-reg: the registry tool with the command syntax of reg.exe
// (query, add, delete, export, import) working on the suite's hives.

#include <iosfwd>
#include <string>
#include <vector>

#include "platform/registry/Registry.h"

namespace quorvane::tools {

struct RegToolStreams {
  std::istream& in;
  std::ostream& out;
  std::ostream& err;
  // Questions (overwrite? delete?) are asked only on a terminal; otherwise
  // the operation goes ahead as with /f.
  bool interactive = false;
};

// args without the program name. Returns the exit status: 0 on success,
// 1 on failure after one "ERROR: ..." line on err.
int RunRegTool(const std::vector<std::string>& args, const platform::Registry& registry, RegToolStreams streams);

}  // namespace quorvane::tools
