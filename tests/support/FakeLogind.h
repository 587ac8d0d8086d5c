#pragma once
// logind for tests: takes org.freedesktop.login1 on a private bus (see
// PrivateBus, Role::kSystem) and serves the manager's Suspend, Hibernate,
// PowerOff, TerminateSession and Inhibit, recording each call with its
// arguments before it answers. It can emit PrepareForSleep and make a
// method fail. Inhibit hands out one end of a pipe and keeps the other,
// so a test sees when the client has let the lock go.
//
// The fake serves its connection on a thread of its own.

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/base/Result.h"

namespace quorvane::testing {

class FakeLogind {
 public:
  struct Call {
    std::string method;
    std::vector<std::string> args;  // booleans as "true" / "false"
    bool operator==(const Call&) const = default;
  };

  explicit FakeLogind(const std::string& busAddress);
  ~FakeLogind();
  FakeLogind(const FakeLogind&) = delete;
  FakeLogind& operator=(const FakeLogind&) = delete;

  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }

  std::vector<Call> Calls() const;
  void ClearCalls();
  // The next call of `method` is answered with this D-Bus error (and still
  // recorded).
  void FailNext(const std::string& method, const std::string& errorName, const std::string& message);

  // Returns once the signal has been sent.
  platform::Status EmitPrepareForSleep(bool start);

  // Inhibitor locks handed out so far, in order.
  std::size_t Inhibitors() const;
  bool InhibitorHeld(std::size_t index) const;
  // Waits (at most `limit`) until the client has closed lock `index`.
  bool WaitInhibitorReleased(std::size_t index, std::chrono::milliseconds limit) const;

  struct Server;

 private:
  std::shared_ptr<Server> server_;
  std::thread thread_;
  std::string error_;
};

}  // namespace quorvane::testing
