#pragma once
// wakeward-ctl's commands on the schedule service. Output goes to stdout
// (human-readable, or JSON with --json); a failure is one line on stderr
// with the error word, nErr and its English text, and exit code 1. Wrong
// usage is exit code 2.

#include <string>
#include <vector>

namespace quorvane::ctl {

int RunCtl(const std::vector<std::string>& arguments);

}  // namespace quorvane::ctl
