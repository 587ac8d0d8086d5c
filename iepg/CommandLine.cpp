#include "iepg/CommandLine.h"

namespace quorvane::iepg {

std::string CommandLineRemainder(int argc, const char* const* argv) {
  std::string remainder;
  for (int i = 1; i < argc; ++i) {
    if (argv[i] == nullptr) break;
    if (i > 1) remainder += ' ';
    remainder += argv[i];
  }
  return remainder;
}

Command ClassifyCommandLine(const std::string& remainder) {
  if (remainder == "/?") return Command::kUsage;
  if (remainder == "/R") return Command::kRegister;
  return Command::kConvertFile;
}

}  // namespace quorvane::iepg
