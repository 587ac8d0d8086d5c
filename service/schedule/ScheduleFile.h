#pragma once
// The user's schedule file: every record of the list as one XML document.
// Saving never loses the file: the new content is written completely to
// the "back" file beside it (the name followed by "back"), flushed to the
// disk, and only then renamed over the schedule file in one step. When the
// back file cannot be written, the schedule file stays as it was.

#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/base/Result.h"
#include "service/schedule/ScheduleProgram.h"

namespace TESKTV::SCHEDULE {

struct ScheduleFileContents {
  // Records in document order, as read (not yet validated).
  std::vector<ScheduleProgram> records;
  // Why each refused node was left out (a date and time that is not a
  // valid local time).
  std::vector<std::string> refused;
};

class ScheduleFile {
 public:
  explicit ScheduleFile(std::string path);

  const std::string& Path() const { return path_; }
  std::string BackPath() const { return path_ + "back"; }

  // Fails when the file cannot be read, is not well-formed XML, or its
  // document element is not `schedules`. Every element child of the root
  // becomes a record, whatever its name.
  quorvane::platform::Result<ScheduleFileContents> Load() const;

  quorvane::platform::Status Save(std::span<const ScheduleProgram* const> records) const;
  quorvane::platform::Status Save(const std::vector<ScheduleProgram>& records) const;
  quorvane::platform::Status Save(const std::vector<std::unique_ptr<ScheduleProgram>>& records) const;

  // The exact bytes Save writes.
  static quorvane::platform::Result<std::string> Format(std::span<const ScheduleProgram* const> records);

 private:
  std::string path_;
};

// The content of a fresh schedule file: the declaration, then an empty
// `schedules` element over two lines.
inline constexpr std::string_view kEmptyScheduleFile =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<schedules>\n</schedules>\n";

// When nothing exists at `path`, creates the missing folders and a fresh
// schedule file there; anything already there is left alone. Run as root
// in a user's folder, what it creates belongs to the owner of the nearest
// folder that already existed.
quorvane::platform::Status CheckScheduleXML(const std::string& path);

}  // namespace TESKTV::SCHEDULE
