#pragma once
// The command line the service hands the recording program:
//
//   -startr2:"123.ts" -startr2:"<name>.ts" -limit:<seconds> -vinput:<n>
//   -cbr:<0|1> -vbaver:<kbit/s> -aoutfmt:<n> -abindex:<n>
//   [-splitsize:<bytes>] -folder:"<folder>"
//
// The first -startr2 stands where a program name would (argv[0]); the last
// one names the recording. Option names are matched without regard to
// case. Each option is one argument; an argument that holds several
// options (a command line passed whole, or its remainder after argv[0]) is
// split first, with the quoting rules of a Windows command line (blanks
// separate, double quotes group, backslashes escape quotes).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/Result.h"

namespace quorvane::tools::testcmd {

struct RecordingOptions {
  // The file name without ".ts"; '/' is replaced by '_' so that the
  // recording stays inside the folder.
  std::string name;
  std::int64_t limitSeconds = 0;
  int videoInput = 0;
  bool constantBitRate = true;
  std::int64_t videoKbps = 8000;
  int audioFormat = 1;
  int audioBitRateIndex = 32;
  std::int64_t splitBytes = 0;  // 0: a single piece
  std::string folder;
};

inline constexpr std::int64_t kMaxVideoKbps = 1000000;

// Splits one command-line text into arguments.
std::vector<std::string> SplitCommandLine(std::string_view line);

// `args` are the program's arguments from argv[0] on. argv[0] counts as an
// option when it starts with '-' (the service puts the first -startr2
// there); otherwise it is the program's path and is skipped.
platform::Result<RecordingOptions> ParseRecordingCommandLine(const std::vector<std::string>& args);

// One line per option, for the usage message.
std::string_view RecordingUsage();

}  // namespace quorvane::tools::testcmd
