#include "service/schedule/ScheduleFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>

#include "platform/xml/XmlDocument.h"

namespace TESKTV::SCHEDULE {

namespace platform = quorvane::platform;
namespace xml = quorvane::platform::xml;
namespace fs = std::filesystem;

namespace {

constexpr unsigned kFileMode = 0644;

std::string Errno(const std::string& what) { return what + ": " + std::strerror(errno); }

// After a rename the new directory entry is durable only once the folder
// itself is flushed.
void SyncFolderOf(const std::string& path) {
  const std::string folder = fs::path(path).parent_path().empty() ? "." : fs::path(path).parent_path().string();
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  (void)::fsync(fd);
  ::close(fd);
}

// The replacement keeps the mode and, for root, the owner of the file it
// replaces, so that a service running as root leaves the user's file the
// user's.
void TakeOverAttributes(const std::string& from, const std::string& to) {
  struct stat info {};
  if (::stat(from.c_str(), &info) != 0) return;
  (void)::chmod(to.c_str(), info.st_mode & 07777);
  if (::geteuid() == 0) (void)::chown(to.c_str(), info.st_uid, info.st_gid);
}

platform::Status ReplaceDurably(const std::string& path, const std::string& back, std::string_view bytes) {
  if (platform::Status written = xml::WriteFileDurably(back, bytes, kFileMode); !written) {
    ::unlink(back.c_str());
    return written;
  }
  TakeOverAttributes(path, back);
  if (::rename(back.c_str(), path.c_str()) != 0) {
    const platform::Error error{Errno("cannot rename " + back + " to " + path)};
    ::unlink(back.c_str());
    return error;
  }
  SyncFolderOf(path);
  return platform::Status::Ok();
}

template <class Container, class Pointer>
std::vector<const ScheduleProgram*> Pointers(const Container& records, Pointer pointer) {
  std::vector<const ScheduleProgram*> list;
  list.reserve(records.size());
  for (const auto& record : records) list.push_back(pointer(record));
  return list;
}

}  // namespace

ScheduleFile::ScheduleFile(std::string path) : path_(std::move(path)) {}

platform::Result<ScheduleFileContents> ScheduleFile::Load() const {
  platform::Result<xml::Document> document = xml::Document::ParseFile(path_);
  if (!document) return document.error();
  const xml::Node root = document->Root();
  if (root.Name() != "schedules") {
    return platform::MakeError(path_ + ": document element is \"" + root.Name() + "\", not \"schedules\"");
  }
  ScheduleFileContents contents;
  for (const xml::Node& node : root.Children()) {
    platform::Result<ScheduleProgram> record = ScheduleProgram::FromNode(node);
    if (record) {
      contents.records.push_back(std::move(*record));
    } else {
      contents.refused.push_back(record.error().message);
    }
  }
  return contents;
}

platform::Result<std::string> ScheduleFile::Format(std::span<const ScheduleProgram* const> records) {
  xml::Document document;
  xml::Node root = document.CreateRoot("schedules");
  if (root.IsNull()) return platform::MakeError("cannot create the schedule document");
  for (const ScheduleProgram* record : records) {
    if (record != nullptr) record->AppendToNode(root);
  }
  xml::SaveFormat format;
  format.encoding = "utf-8";
  format.indentUnit = "\t";
  return document.Serialize(format);
}

platform::Status ScheduleFile::Save(std::span<const ScheduleProgram* const> records) const {
  platform::Result<std::string> bytes = Format(records);
  if (!bytes) return bytes.error();
  return ReplaceDurably(path_, BackPath(), *bytes);
}

platform::Status ScheduleFile::Save(const std::vector<ScheduleProgram>& records) const {
  const auto list = Pointers(records, [](const ScheduleProgram& r) { return &r; });
  return Save(std::span<const ScheduleProgram* const>(list));
}

platform::Status ScheduleFile::Save(const std::vector<std::unique_ptr<ScheduleProgram>>& records) const {
  const auto list = Pointers(records, [](const std::unique_ptr<ScheduleProgram>& r) { return r.get(); });
  return Save(std::span<const ScheduleProgram* const>(list));
}

platform::Status CheckScheduleXML(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) == 0) return platform::Status::Ok();
  if (errno != ENOENT) return platform::MakeError(Errno("cannot look at " + path));

  // Folders from the nearest existing one down to the file's own.
  std::vector<fs::path> missing;
  fs::path folder = fs::path(path).parent_path();
  struct stat existing {};
  while (!folder.empty() && ::stat(folder.c_str(), &existing) != 0) {
    missing.push_back(folder);
    folder = folder.parent_path();
  }
  if (folder.empty() && ::stat(".", &existing) != 0) return platform::MakeError(Errno("cannot look at ."));
  const bool handOver = ::geteuid() == 0 && existing.st_uid != 0;
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    if (::mkdir(it->c_str(), 0755) != 0 && errno != EEXIST) {
      return platform::MakeError(Errno("cannot create folder " + it->string()));
    }
    if (handOver) (void)::chown(it->c_str(), existing.st_uid, existing.st_gid);
  }

  const std::string back = path + "back";
  if (platform::Status written = xml::WriteFileDurably(back, kEmptyScheduleFile, kFileMode); !written) {
    ::unlink(back.c_str());
    return written;
  }
  if (handOver) (void)::chown(back.c_str(), existing.st_uid, existing.st_gid);
  if (::rename(back.c_str(), path.c_str()) != 0) {
    const platform::Error error{Errno("cannot create " + path)};
    ::unlink(back.c_str());
    return error;
  }
  SyncFolderOf(path);
  return platform::Status::Ok();
}

}  // namespace TESKTV::SCHEDULE
