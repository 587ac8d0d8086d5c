#include "platform/mutex/NamedMutex.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <utility>

namespace quorvane::platform {

namespace {

constexpr std::size_t kMaxStem = 240;  // leaves room for the suffix in a 255-byte file name

Error SystemError(const std::string& what) { return MakeError(what + ": " + std::strerror(errno)); }

// Makes `path` a world-writable sticky folder unless it already is a folder.
Status EnsureLockFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 01777) == 0) {
    // mkdir applies the umask.
    if (::chmod(path.c_str(), 01777) != 0) return SystemError("chmod " + path);
    return Status::Ok();
  }
  if (errno != EEXIST) return SystemError("mkdir " + path);
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return SystemError("lstat " + path);
  if (!S_ISDIR(info.st_mode)) return MakeError(path + " is not a folder");
  return Status::Ok();
}

bool Usable(const std::string& path) {
  return EnsureLockFolder(path).ok() && ::access(path.c_str(), W_OK | X_OK) == 0;
}

class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

// Opens a lock file that any user may lock. Never follows a symbolic link
// (the folder is world-writable); an existing file another user made
// without write permission for us is opened for reading, which flock allows.
Result<int> OpenLockFile(const std::string& path) {
  for (int attempt = 0; attempt < 8; ++attempt) {
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0 && errno == EACCES) fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0 && errno == ENOENT) {
      fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
      if (fd < 0 && errno == EEXIST) continue;  // someone else just made it
      if (fd >= 0) ::fchmod(fd, 0666);          // past the umask, for other users
    }
    if (fd < 0) return SystemError("open " + path);
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
      ::close(fd);
      return MakeError(path + " is not a regular file");
    }
    return fd;
  }
  return MakeError("open " + path + ": keeps appearing and vanishing");
}

int Flock(int fd, int operation) {
  int result;
  do {
    result = ::flock(fd, operation);
  } while (result < 0 && errno == EINTR);
  return result;
}

}  // namespace

Result<std::string> LockDirectory() {
  if (const char* configured = std::getenv("QUORVANE_LOCK_DIR"); configured != nullptr && *configured != '\0') {
    const std::string path(configured);
    if (Status status = EnsureLockFolder(path); !status) return status.error();
    return path;
  }
  for (const char* candidate : {"/run/lock/quorvane", "/tmp/quorvane-locks"}) {
    if (Usable(candidate)) return std::string(candidate);
  }
  return MakeError("no usable lock folder (/run/lock/quorvane, /tmp/quorvane-locks)");
}

std::string LockFileStem(std::string_view name) {
  std::string stem;
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') || byte == '_' ||
        byte == '.' || byte == '-') {
      stem.push_back(c);
    } else if (byte < 0x80 || byte >= 0xC0) {
      stem.push_back('_');  // one per character: UTF-8 continuation bytes add none
    }
  }
  return stem;
}

const char* MutexWaitName(MutexWait result) {
  switch (result) {
    case MutexWait::kAcquired:
      return "WAIT_OBJECT_0";
    case MutexWait::kAbandoned:
      return "WAIT_ABANDONED";
    case MutexWait::kTimedOut:
      return "WAIT_TIMEOUT";
    case MutexWait::kFailed:
      break;
  }
  return "WAIT_FAILED";
}

Result<NamedMutex> NamedMutex::Create(std::string_view name, bool initialOwner) {
  if (name.empty()) return MakeError("a named mutex needs a name");
  const std::string stem = LockFileStem(name);
  if (stem.size() > kMaxStem) return MakeError("mutex name too long: " + std::string(name));
  auto folder = LockDirectory();
  if (!folder) return folder.error();
  const std::string base = *folder + "/" + stem;

  auto guardFd = OpenLockFile(base + ".guard");
  if (!guardFd) return guardFd.error();
  Fd guard(*guardFd);
  if (Flock(guard.get(), LOCK_EX) != 0) return SystemError("flock " + base + ".guard");

  auto handlesFd = OpenLockFile(base + ".handles");
  if (!handlesFd) return handlesFd.error();
  Fd handles(*handlesFd);
  // Alone with the guard: an exclusive lock succeeds only when no other
  // handle exists. It then turns into this handle's shared lock.
  bool existed = false;
  if (Flock(handles.get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK) return SystemError("flock " + base + ".handles");
    existed = true;
  }
  if (Flock(handles.get(), LOCK_SH) != 0) return SystemError("flock " + base + ".handles");

  auto ownerFd = OpenLockFile(base + ".owner");
  if (!ownerFd) return ownerFd.error();
  Fd owner(*ownerFd);

  NamedMutex mutex;
  mutex.name_ = std::string(name);
  mutex.alreadyExisted_ = existed;
  mutex.handlesFd_ = handles.release();
  mutex.ownerFd_ = owner.release();
  if (initialOwner && !existed && Flock(mutex.ownerFd_, LOCK_EX | LOCK_NB) == 0) mutex.TakeOwnership();
  return mutex;
}

NamedMutex::NamedMutex(NamedMutex&& other) noexcept
    : name_(std::move(other.name_)),
      handlesFd_(std::exchange(other.handlesFd_, -1)),
      ownerFd_(std::exchange(other.ownerFd_, -1)),
      ownerCount_(std::exchange(other.ownerCount_, 0)),
      alreadyExisted_(other.alreadyExisted_) {}

NamedMutex& NamedMutex::operator=(NamedMutex&& other) noexcept {
  if (this != &other) {
    Close();
    name_ = std::move(other.name_);
    handlesFd_ = std::exchange(other.handlesFd_, -1);
    ownerFd_ = std::exchange(other.ownerFd_, -1);
    ownerCount_ = std::exchange(other.ownerCount_, 0);
    alreadyExisted_ = other.alreadyExisted_;
  }
  return *this;
}

NamedMutex::~NamedMutex() { Close(); }

void NamedMutex::Close() {
  if (ownerCount_ > 0) {
    ownerCount_ = 1;
    (void)Release();
  }
  if (ownerFd_ >= 0) ::close(ownerFd_);
  if (handlesFd_ >= 0) ::close(handlesFd_);
  ownerFd_ = handlesFd_ = -1;
}

MutexWait NamedMutex::TakeOwnership() {
  // A pid left in the file means its writer ended while owning.
  char mark[32];
  const ssize_t length = ::pread(ownerFd_, mark, sizeof mark, 0);
  const bool abandoned = length > 0;
  const std::string pid = std::to_string(::getpid()) + "\n";
  if (::ftruncate(ownerFd_, 0) == 0) {
    (void)!::pwrite(ownerFd_, pid.data(), pid.size(), 0);
  }
  ownerCount_ = 1;
  return abandoned ? MutexWait::kAbandoned : MutexWait::kAcquired;
}

MutexWait NamedMutex::Wait(std::optional<std::chrono::milliseconds> timeout) {
  if (ownerFd_ < 0) return MutexWait::kFailed;
  if (ownerCount_ > 0) {
    ++ownerCount_;
    return MutexWait::kAcquired;
  }
  if (!timeout) return Flock(ownerFd_, LOCK_EX) == 0 ? TakeOwnership() : MutexWait::kFailed;
  // flock has no timeout: try at growing intervals until the deadline.
  const auto deadline = std::chrono::steady_clock::now() + *timeout;
  auto pause = std::chrono::milliseconds(1);
  for (;;) {
    if (Flock(ownerFd_, LOCK_EX | LOCK_NB) == 0) return TakeOwnership();
    if (errno != EWOULDBLOCK) return MutexWait::kFailed;
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return MutexWait::kTimedOut;
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(pause, deadline - now));
    pause = std::min(pause * 2, std::chrono::milliseconds(50));
  }
}

Status NamedMutex::Release() {
  if (ownerCount_ == 0) return MakeError("mutex " + name_ + " is not owned by this handle");
  if (--ownerCount_ > 0) return Status::Ok();
  (void)!::ftruncate(ownerFd_, 0);
  if (Flock(ownerFd_, LOCK_UN) != 0) return SystemError("flock " + name_);
  return Status::Ok();
}

}  // namespace quorvane::platform
