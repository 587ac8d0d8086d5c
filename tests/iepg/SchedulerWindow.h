#pragma once
// A stand-in for the scheduler's main window on the test's private bus,
// served from the test thread: it owns the window class's bus name and
// collects the messages that reach it.

#include <gtest/gtest.h>
#include <poll.h>

#include <chrono>
#include <memory>
#include <vector>

#include "iepg/IepgNames.h"
#include "platform/winmsg/WindowEndpoint.h"

namespace quorvane::iepg::testing {

class SchedulerWindow {
 public:
  SchedulerWindow() {
    auto registered = platform::WindowEndpoint::Register(kSchedulerWindowClass, "Velmora Scheduler",
                                                         [this](const platform::WindowMessage& m) {
                                                           received_.push_back(m);
                                                           return std::int64_t{0};
                                                         });
    EXPECT_TRUE(registered.ok()) << registered.error().message;
    if (registered) endpoint_ = std::move(*registered);
  }

  // Reads the bus until `count` messages have come, at most 10 s.
  const std::vector<platform::WindowMessage>& WaitFor(std::size_t count) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (endpoint_ && received_.size() < count && std::chrono::steady_clock::now() < limit) {
      pollfd poller{endpoint_->Fd(), endpoint_->Events(), 0};
      (void)::poll(&poller, 1, 50);
      if (!endpoint_->Process().ok()) break;
    }
    return received_;
  }

 private:
  std::unique_ptr<platform::WindowEndpoint> endpoint_;
  std::vector<platform::WindowMessage> received_;
};

}  // namespace quorvane::iepg::testing
