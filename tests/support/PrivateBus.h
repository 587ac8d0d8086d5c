#pragma once
// A private dbus-daemon for one test process: started on a socket in a
// temporary folder, its address exported as the session bus (or the
// system bus) of this process, stopped and the variable restored when the
// object goes.

#include <sys/types.h>

#include <optional>
#include <string>

#include "platform/base/Result.h"

namespace quorvane::testing {

class PrivateBus {
 public:
  enum class Role { kSession, kSystem };

  // Starts the daemon and sets DBUS_SESSION_BUS_ADDRESS (or
  // DBUS_SYSTEM_BUS_ADDRESS). Check ok() / error() before use.
  explicit PrivateBus(Role role = Role::kSession);
  ~PrivateBus();
  PrivateBus(const PrivateBus&) = delete;
  PrivateBus& operator=(const PrivateBus&) = delete;

  bool ok() const { return pid_ > 0; }
  const std::string& error() const { return error_; }
  const std::string& address() const { return address_; }
  // The environment variable this bus is exported as.
  const char* variable() const;

  // Stops the daemon early (to test clients whose bus goes away).
  void Stop();

 private:
  quorvane::platform::Status Start();

  Role role_;
  pid_t pid_ = -1;
  std::string folder_;
  std::string address_;
  std::string error_;
  std::optional<std::string> previous_;
  bool exported_ = false;
};

}  // namespace quorvane::testing
