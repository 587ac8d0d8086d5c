#pragma once
// The handler takes everything after the program name as one argument: the
// registered open command passes the file path unquoted, so a path with
// spaces may arrive as several words. A launcher that passes the path as
// one word (a desktop entry's %f) gives the same text.

#include <string>

namespace quorvane::iepg {

// The words after the program name joined by single spaces.
std::string CommandLineRemainder(int argc, const char* const* argv);

enum class Command { kUsage, kRegister, kConvertFile };

// "/?" and "/R" exactly (case-sensitive); anything else is a file path.
Command ClassifyCommandLine(const std::string& remainder);

}  // namespace quorvane::iepg
