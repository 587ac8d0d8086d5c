#pragma once
// A machine-wide named mutex ("Global\TeskIrSchedulerMutex"): lock files in
// a lock folder shared by all users. Each mutex has three files:
//   <name>.handles  every open NamedMutex holds a shared flock: the mutex
//                   "exists" while any process has it open;
//   <name>.owner    the owner holds an exclusive flock and writes its pid,
//                   cleared on release, so a later owner can tell that the
//                   previous one ended without releasing (abandoned);
//   <name>.guard    serialises opening, so two processes that start at the
//                   same time cannot both see the mutex as new.
// The kernel drops the locks when the process ends. An object is used by
// one thread at a time; a child made by fork shares the parent's locks, so
// a child opens its own NamedMutex.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "platform/base/Result.h"

namespace quorvane::platform {

// The lock folder: $QUORVANE_LOCK_DIR, else /run/lock/quorvane when it can
// be made and written, else /tmp/quorvane-locks. Made with mode 1777.
Result<std::string> LockDirectory();
// The file name stem of a mutex name: each character outside
// [A-Za-z0-9_.-] becomes '_' ("Global\Foo" -> "Global_Foo").
std::string LockFileStem(std::string_view name);

enum class MutexWait {
  kAcquired,   // WAIT_OBJECT_0
  kAbandoned,  // acquired; the previous owner ended without releasing
  kTimedOut,   // WAIT_TIMEOUT
  kFailed,
};
const char* MutexWaitName(MutexWait result);  // "WAIT_OBJECT_0", ...

class NamedMutex {
 public:
  // Opens the mutex, creating it if no process has it open. With
  // initialOwner the caller owns it when it was new (an existing mutex is
  // opened without ownership, as CreateMutex does).
  static Result<NamedMutex> Create(std::string_view name, bool initialOwner);

  NamedMutex(NamedMutex&& other) noexcept;
  NamedMutex& operator=(NamedMutex&& other) noexcept;
  NamedMutex(const NamedMutex&) = delete;
  NamedMutex& operator=(const NamedMutex&) = delete;
  // Releases ownership and closes.
  ~NamedMutex();

  const std::string& name() const { return name_; }
  // Another handle had the mutex open when this one was created
  // (ERROR_ALREADY_EXISTS).
  bool AlreadyExisted() const { return alreadyExisted_; }
  bool Owned() const { return ownerCount_ > 0; }

  // Waits up to `timeout` of monotonic time for ownership; no timeout
  // waits for good. Ownership is recursive: each successful wait needs a
  // Release.
  MutexWait Wait(std::optional<std::chrono::milliseconds> timeout);
  Status Release();

 private:
  NamedMutex() = default;
  void Close();
  MutexWait TakeOwnership();  // after the owner lock is held

  std::string name_;
  int handlesFd_ = -1;
  int ownerFd_ = -1;
  int ownerCount_ = 0;
  bool alreadyExisted_ = false;
};

}  // namespace quorvane::platform
