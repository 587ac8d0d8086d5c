#pragma once
// A console user chosen by the test: nobody, or any account.

#include <mutex>

#include "platform/session/ConsoleUser.h"

namespace quorvane::platform {

class FakeConsoleUserProvider final : public ConsoleUserProvider {
 public:
  FakeConsoleUserProvider() = default;
  explicit FakeConsoleUserProvider(std::optional<ConsoleUser> user) : user_(std::move(user)) {}

  std::optional<ConsoleUser> CurrentConsoleUser() const override {
    std::lock_guard lock(mutex_);
    return user_;
  }
  void Set(std::optional<ConsoleUser> user) {
    std::lock_guard lock(mutex_);
    user_ = std::move(user);
  }

 private:
  mutable std::mutex mutex_;
  std::optional<ConsoleUser> user_;
};

}  // namespace quorvane::platform
