// Figures for the schedule store: loading (with validation) and saving
// lists of 100, 1,000 and 10,000 schedules, and AddSchedule against lists
// of those sizes; each beside the time `xmllint --noout` takes to parse the
// same file in the same run.
//
//   schedule_store_bench [--sizes 100,1000,10000] [--repeat 5] [--xmllint PATH]

#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/registry/RegistryLocations.h"
#include "service/log/ServiceLog.h"
#include "service/messages/WindowPoster.h"
#include "service/monitor/ScheduleMonitor.h"
#include "service/schedule/ScheduleFile.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using TESKTV::SCHEDULE::ScheduleMonitor;
using TESKTV::SCHEDULE::ScheduleProgram;
using Clock = std::chrono::steady_clock;

class NoWindow final : public TESKTV::SERVICE::WindowPoster {
 public:
  bool Post(TESKTV::SERVICE::PostedMessage) override { return true; }
};

double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0.0 : values[values.size() / 2];
}

// Median of `repeat` runs of `body`, in milliseconds.
double Measure(int repeat, const std::function<void()>& body) {
  std::vector<double> runs;
  for (int i = 0; i < repeat; ++i) {
    const auto start = Clock::now();
    body();
    runs.push_back(Milliseconds(Clock::now() - start));
  }
  return Median(runs);
}

// Whole-second start times from 2030 on, spread over the day and the year.
std::int64_t StartOf(int index) {
  static const std::int64_t base = [] {
    std::tm tm{};
    tm.tm_year = 2030 - 1900;
    tm.tm_mon = 0;
    tm.tm_mday = 7;
    tm.tm_hour = 6;
    tm.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&tm));
  }();
  return base + static_cast<std::int64_t>(index) * 3 * 3600 + (index % 4) * 900;
}

std::vector<ScheduleProgram> MakeList(int count) {
  std::vector<ScheduleProgram> list;
  list.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    char id[32];
    std::snprintf(id, sizeof id, "SI_BENCH_%06d", i);
    ScheduleProgram record(id);
    record.SetDescription("Programme " + std::to_string(i) + " \xE2\x80\x93 Folge & Teil <" + std::to_string(i % 7) + ">");
    record.SetEnable(1);
    record.SetDevice("Box " + std::to_string(i % 50), i % 2, 1);
    record.SetChannel(std::to_string(100 + i % 900), i % 3 == 0 ? "1" : "");
    const std::int32_t interval = i % 3;
    record.SetSchedule(interval, StartOf(i), 30 + i % 90);
    record.SetDayOfWeeks({i % 2, 0, i % 3 == 0, 0, 1, 0, 0});
    record.SetRecord("/home/anna/Videos", "", i % 5 == 0 ? 700 : 0);
    record.SetAPPath("/opt/capture/CaptureModule");
    list.push_back(std::move(record));
  }
  return list;
}

double RunXmllint(const std::string& xmllint, const std::string& file) {
  std::vector<char*> argv{const_cast<char*>(xmllint.c_str()), const_cast<char*>("--noout"),
                          const_cast<char*>(file.c_str()), nullptr};
  const auto start = Clock::now();
  pid_t pid = 0;
  if (::posix_spawn(&pid, xmllint.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return -1;
  int status = 0;
  ::waitpid(pid, &status, 0);
  const double ms = Milliseconds(Clock::now() - start);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? ms : -1;
}

std::string Ratio(double value, double baseline) {
  if (baseline <= 0) return "   n/a";
  char text[32];
  std::snprintf(text, sizeof text, "%6.2fx", value / baseline);
  return text;
}

std::vector<int> ParseSizes(const char* text) {
  std::vector<int> sizes;
  for (const char* p = text; *p != '\0';) {
    char* end = nullptr;
    const long value = std::strtol(p, &end, 10);
    if (end == p || value <= 0) break;
    sizes.push_back(static_cast<int>(value));
    p = *end == ',' ? end + 1 : end;
  }
  return sizes;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> sizes{100, 1000, 10000};
  int repeat = 5;
#ifdef QUORVANE_XMLLINT
  std::string xmllint = QUORVANE_XMLLINT;
#else
  std::string xmllint = "/usr/bin/xmllint";
#endif
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--sizes") == 0 && i + 1 < argc) {
      sizes = ParseSizes(argv[++i]);
    } else if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc) {
      repeat = std::max(1, std::atoi(argv[++i]));
    } else if (std::strcmp(argv[i], "--xmllint") == 0 && i + 1 < argc) {
      xmllint = argv[++i];
    } else {
      std::fprintf(stderr, "usage: %s [--sizes 100,1000,10000] [--repeat N] [--xmllint PATH]\n", argv[0]);
      return 2;
    }
  }
  ::setenv("TZ", "Europe/Berlin", 1);
  ::tzset();

  std::string pattern = (fs::temp_directory_path() / "quorvane-bench-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  const fs::path dir = pattern;
  quorvane::platform::RegistryLocations registry{(dir / "machine").string(), (dir / "config").string()};
  NoWindow window;
  TESKTV::SERVICE::ServiceLog quietLog;  // never opened: writes nothing
  TESKTV::SCHEDULE::MonitorOptions options;
  options.log = &quietLog;
  options.registry = registry;

  std::printf("schedule store, median of %d runs, milliseconds; ratio to xmllint --noout on the same file\n", repeat);
  std::printf("%8s %10s %10s %10s %8s %10s %8s %10s %8s\n", "records", "file KiB", "xmllint", "load", "ratio",
              "save", "ratio", "add", "ratio");
  for (int count : sizes) {
    const std::string file = (dir / ("list-" + std::to_string(count) + ".xml")).string();
    if (auto saved = TESKTV::SCHEDULE::ScheduleFile(file).Save(MakeList(count)); !saved) {
      std::fprintf(stderr, "cannot write %s: %s\n", file.c_str(), saved.error().message.c_str());
      return 1;
    }
    const double kib = static_cast<double>(fs::file_size(file)) / 1024.0;

    std::vector<double> lint;
    for (int i = 0; i < repeat; ++i) lint.push_back(RunXmllint(xmllint, file));
    const double baseline = std::any_of(lint.begin(), lint.end(), [](double v) { return v < 0; }) ? -1 : Median(lint);

    std::size_t loaded = 0;
    const double load = Measure(repeat, [&] {
      ScheduleMonitor monitor(window, file, options);
      loaded = monitor.List().size();
    });
    if (loaded != static_cast<std::size_t>(count)) {
      std::fprintf(stderr, "loaded %zu of %d records\n", loaded, count);
      return 1;
    }

    // A change that finds nothing still rewrites the whole list.
    ScheduleMonitor monitor(window, file, options);
    const double save = Measure(repeat, [&] { monitor.RemoveSchedule("SI_NOT_THERE"); });

    int added = 0;
    bool refused = false;
    const double add = Measure(repeat, [&] {
      ScheduleProgram record("SI_BENCH_ADD_" + std::to_string(added++));
      record.SetEnable(1);
      record.SetDevice("Bench Box", 0, 1);
      record.SetSchedule(TESKTV::SCHEDULE::ONCE, StartOf(count + added), 30);
      refused = refused || !monitor.AddSchedule(&record).empty();
    });
    if (refused) {
      std::fprintf(stderr, "an add was refused\n");
      return 1;
    }

    char lintText[16];
    if (baseline > 0) {
      std::snprintf(lintText, sizeof lintText, "%10.2f", baseline);
    } else {
      std::snprintf(lintText, sizeof lintText, "%10s", "n/a");
    }
    std::printf("%8d %10.1f %s %10.2f %8s %10.2f %8s %10.2f %8s\n", count, kib, lintText, load,
                Ratio(load, baseline).c_str(), save, Ratio(save, baseline).c_str(), add,
                Ratio(add, baseline).c_str());
    std::fflush(stdout);
  }
  std::error_code ignored;
  fs::remove_all(dir, ignored);
  return 0;
}
