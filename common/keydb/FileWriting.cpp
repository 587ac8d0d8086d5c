#include "common/keydb/FileWriting.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace quorvane::keydb {
namespace {

platform::Error Errno(const std::string& what) { return platform::MakeError(what + ": " + std::strerror(errno)); }

}  // namespace

void UniqueFd::Reset() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

platform::Status WriteAllAndClose(UniqueFd& fd, std::string_view bytes, const std::string& path) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd.get(), bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return Errno("cannot write " + path);
    }
    done += static_cast<std::size_t>(n);
  }
  if (::fsync(fd.get()) != 0) return Errno("cannot flush " + path);
  if (::close(fd.release()) != 0) return Errno("cannot close " + path);
  return platform::Status::Ok();
}

platform::Status ReplaceFile(const std::string& path, std::string_view bytes) {
  std::string side = path + ".XXXXXX";
  UniqueFd fd(::mkostemp(side.data(), O_CLOEXEC));
  if (!fd) return Errno("cannot create a file next to " + path);
  // mkostemp creates the file for its owner only; the replacement keeps the
  // mode of the file it replaces, and a new file is readable by everyone
  // like any other document.
  struct stat old {};
  const mode_t mode = ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
  if (::fchmod(fd.get(), mode) != 0) {
    const platform::Error error = Errno("cannot set the mode of " + side);
    ::unlink(side.c_str());
    return error;
  }
  platform::Status written = WriteAllAndClose(fd, bytes, side);
  if (!written) {
    ::unlink(side.c_str());
    return written;
  }
  if (::rename(side.c_str(), path.c_str()) != 0) {
    const platform::Error error = Errno("cannot replace " + path);
    ::unlink(side.c_str());
    return error;
  }
  return platform::Status::Ok();
}

}  // namespace quorvane::keydb
