#pragma once
// TestCmd, the stand-in for the recording program the service starts: it
// takes the service's command line (RecordingCommandLine.h), writes null
// packets to <folder>/<name>.ts in real time on the given clock for
// -limit seconds, splitting at -splitsize (TsPieceWriter.h), and logs its
// arguments and progress to `out` and to <folder>/<name>.log.
//
// Exit codes: 0 recorded (to the limit or until stopped), 1 the folder,
// log or recording could not be written, 2 the command line is malformed
// (the reason and the usage go to `err`).

#include <iosfwd>
#include <mutex>
#include <string>
#include <vector>

#include "platform/clock/Clock.h"
#include "tools/TestCmd/PacedRecorder.h"

namespace quorvane::tools::testcmd {

inline constexpr int kExitRecorded = 0;
inline constexpr int kExitWriteFailed = 1;
inline constexpr int kExitBadCommandLine = 2;

class TestCmdProgram {
 public:
  TestCmdProgram(platform::Clock& clock, std::ostream& out, std::ostream& err);
  TestCmdProgram(const TestCmdProgram&) = delete;
  TestCmdProgram& operator=(const TestCmdProgram&) = delete;

  // `args` from argv[0] on.
  int Run(const std::vector<std::string>& args);
  // Any thread: ends the recording cleanly (SIGTERM). `reason` is logged.
  void Stop(const std::string& reason);

 private:
  platform::Clock& clock_;
  std::ostream& out_;
  std::ostream& err_;
  PacedRecorder recorder_;
  std::mutex mutex_;
  std::string stopReason_;
};

}  // namespace quorvane::tools::testcmd
