#include "iepg/ExchangeFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>

#include "iepg/IepgNames.h"

namespace quorvane::iepg {

using platform::MakeError;
using platform::Result;
using platform::Status;

namespace {

constexpr mode_t kExchangeFolderMode = 01777;
constexpr mode_t kParentFolderMode = 0755;
constexpr mode_t kRecordFileMode = 0644;
// Enough for a folder filled by years of records; a folder where even this
// many names are taken is not usable.
constexpr int kMaxReserveAttempts = 100000;

std::string ErrnoText(const std::string& what, int error) { return what + ": " + std::strerror(error); }

bool IsDirectory(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

std::string ReadDataPath(const SettingsStore& settings) {
  return settings.ReadStringUserFirst(kIepgKey, kDataPathValue, "");
}

Status CreateExchangeFolder(std::string_view dataPath) {
  std::string folder(dataPath);
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  if (folder.empty()) return MakeError("the Data Path is empty");
  if (IsDirectory(folder)) return Status::Ok();

  // Parents first, each one created when missing.
  for (std::size_t slash = folder.find('/', 1); slash != std::string::npos; slash = folder.find('/', slash + 1)) {
    const std::string parent = folder.substr(0, slash);
    if (::mkdir(parent.c_str(), kParentFolderMode) != 0 && errno != EEXIST) {
      return MakeError(ErrnoText("cannot create " + parent, errno));
    }
  }
  if (::mkdir(folder.c_str(), kExchangeFolderMode) != 0) {
    const int error = errno;
    // Another handler may have created it a moment ago.
    if (error == EEXIST && IsDirectory(folder)) return Status::Ok();
    return MakeError(ErrnoText("cannot create " + folder, error));
  }
  // mkdir applies the umask; the folder must be open to every account.
  if (::chmod(folder.c_str(), kExchangeFolderMode) != 0) {
    return MakeError(ErrnoText("cannot open " + folder + " to every account", errno));
  }
  return Status::Ok();
}

std::string RecordFilePath(std::string_view dataPath, std::int64_t number) {
  return std::string(dataPath) + std::to_string(number) + kRecordSuffix;
}

std::uint32_t SeededRandomStart(std::uint32_t seed) {
  // The classic linear congruential generator of the C runtime the record
  // numbers were first drawn with: its first value after srand(seed).
  const std::uint32_t state = seed * 214013u + 2531011u;
  return (state >> 16) & 0x7FFFu;
}

Result<ReservedRecord> ReserveRecordFile(std::string_view dataPath, std::int64_t first) {
  if (first < 0) first = 0;
  std::int64_t number = first;
  for (int attempt = 0; attempt < kMaxReserveAttempts; ++attempt, ++number) {
    if (number > std::numeric_limits<std::int32_t>::max()) break;
    std::string path = RecordFilePath(dataPath, number);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kRecordFileMode);
    if (fd >= 0) {
      ::close(fd);
      return ReservedRecord{static_cast<std::int32_t>(number), std::move(path)};
    }
    if (errno != EEXIST) return MakeError(ErrnoText("cannot create " + path, errno));
  }
  return MakeError("no free record number from " + std::to_string(first) + " on in " + std::string(dataPath));
}

}  // namespace quorvane::iepg
