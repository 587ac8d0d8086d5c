#include "tools/TestCmd/TestCmdProgram.h"

#include <time.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <system_error>

#include "tools/TestCmd/RecordingCommandLine.h"
#include "tools/TestCmd/TsPieceWriter.h"

namespace quorvane::tools::testcmd {

namespace {

// Each line goes to the program's output and to the log beside the
// recording, stamped with the local wall time.
class RunLog {
 public:
  RunLog(platform::Clock& clock, std::ostream& out) : clock_(clock), out_(out) {}

  bool OpenFile(const std::string& path) {
    file_.open(path, std::ios::out | std::ios::trunc);
    return file_.is_open();
  }

  void Line(const std::string& text) {
    const std::string line = Stamp() + " " + text + "\n";
    out_ << line << std::flush;
    if (file_.is_open()) file_ << line << std::flush;
  }

 private:
  std::string Stamp() const {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(clock_.Wall());
    std::tm local{};
    ::localtime_r(&seconds, &local);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return text;
  }

  platform::Clock& clock_;
  std::ostream& out_;
  std::ofstream file_;
};

std::string Seconds(std::chrono::milliseconds duration) {
  char text[32];
  std::snprintf(text, sizeof text, "%lld.%03lld s", static_cast<long long>(duration.count() / 1000),
                static_cast<long long>(duration.count() % 1000));
  return text;
}

}  // namespace

TestCmdProgram::TestCmdProgram(platform::Clock& clock, std::ostream& out, std::ostream& err)
    : clock_(clock), out_(out), err_(err), recorder_(clock) {}

void TestCmdProgram::Stop(const std::string& reason) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopReason_.empty()) stopReason_ = reason;
  }
  recorder_.Stop();
}

int TestCmdProgram::Run(const std::vector<std::string>& args) {
  const platform::Result<RecordingOptions> parsed = ParseRecordingCommandLine(args);
  if (!parsed) {
    err_ << "TestCmd: " << parsed.error().message << "\n";
    for (std::size_t i = 0; i < args.size(); ++i) err_ << "  argument " << i << ": " << args[i] << "\n";
    err_ << RecordingUsage() << std::flush;
    return kExitBadCommandLine;
  }
  const RecordingOptions& options = *parsed;

  std::error_code error;
  std::filesystem::create_directories(options.folder, error);
  if (error) {
    err_ << "TestCmd: cannot create the folder " << options.folder << ": " << error.message() << "\n" << std::flush;
    return kExitWriteFailed;
  }
  RunLog log(clock_, out_);
  const std::string logPath = options.folder + (options.folder.back() == '/' ? "" : "/") + options.name + ".log";
  if (!log.OpenFile(logPath)) {
    err_ << "TestCmd: cannot create the log " << logPath << "\n" << std::flush;
    return kExitWriteFailed;
  }

  log.Line("TestCmd started with " + std::to_string(args.size()) + " argument(s)");
  for (std::size_t i = 0; i < args.size(); ++i) log.Line("argument " + std::to_string(i) + ": " + args[i]);
  log.Line("recording \"" + options.name + "\" to " + options.folder + " for " +
           std::to_string(options.limitSeconds) + " s at " + std::to_string(options.videoKbps) + " kbit/s (" +
           (options.constantBitRate ? "constant" : "variable") + " bit rate, video input " +
           std::to_string(options.videoInput) + ", audio format " + std::to_string(options.audioFormat) +
           ", audio bit rate index " + std::to_string(options.audioBitRateIndex) + ")");
  log.Line(options.splitBytes > 0 ? "new piece every " + std::to_string(options.splitBytes) + " bytes"
                                  : "single piece");

  TsPieceWriter writer(options.folder, options.name, options.splitBytes,
                       [&log](const std::string& path) { log.Line("writing " + path); });
  const platform::Result<RecordingOutcome> outcome =
      recorder_.Record(std::chrono::seconds(options.limitSeconds), options.videoKbps, writer);
  if (!outcome) {
    log.Line("recording failed: " + outcome.error().message);
    err_ << "TestCmd: " << outcome.error().message << "\n" << std::flush;
    return kExitWriteFailed;
  }
  const std::string summary = std::to_string(writer.bytesWritten()) + " bytes in " +
                              std::to_string(writer.pieces()) + " piece(s)";
  if (outcome->stopped) {
    std::string reason;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      reason = stopReason_;
    }
    log.Line("stopped (" + reason + ") after " + Seconds(outcome->recorded) + ": " + summary);
  } else {
    log.Line("recording ended after " + Seconds(outcome->recorded) + ": " + summary);
  }
  return kExitRecorded;
}

}  // namespace quorvane::tools::testcmd
