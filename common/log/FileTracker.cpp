#include "common/log/FileTracker.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace TESKTV::LOG {
namespace {

bool Earlier(const timespec& a, const timespec& b) {
  return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

}  // namespace

FileTracker::FileTracker(std::string basePath, std::int64_t maxSize, int fileCount)
    : basePath_(std::move(basePath)), maxSize_(maxSize), fileCount_(std::max(fileCount, 1)) {
  ChooseAndOpen();
}

FileTracker::~FileTracker() { Close(); }

std::string FileTracker::FilePath(int k) const { return basePath_ + "_" + std::to_string(k) + ".log"; }

int FileTracker::ChooseFile() const {
  int chosen = 1;
  bool haveOldest = false;
  timespec oldest{};
  for (int k = 1; k <= fileCount_; ++k) {
    struct stat info {};
    if (::stat(FilePath(k).c_str(), &info) != 0) return k;
    if (!haveOldest || Earlier(info.st_mtim, oldest)) {
      oldest = info.st_mtim;
      chosen = k;
      haveOldest = true;
    }
  }
  return chosen;
}

void FileTracker::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

void FileTracker::ChooseAndOpen() {
  Close();
  current_ = ChooseFile();
  fd_ = ::open(FilePath(current_).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  position_ = 0;
}

int FileTracker::Prepare() {
  if (fd_ >= 0 && position_ > maxSize_) ChooseAndOpen();
  return 1;
}

int FileTracker::Write(std::string_view line) {
  if (fd_ < 0) return 0;
  std::string bytes(line);
  bytes += '\n';
  std::string_view rest = bytes;
  while (!rest.empty()) {
    const ssize_t n = ::write(fd_, rest.data(), rest.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return 0;
    }
    rest.remove_prefix(static_cast<std::size_t>(n));
    position_ += n;
  }
  return 1;
}

}  // namespace TESKTV::LOG
