#pragma once
// The handler has no window; the few things it tells the user (usage, a
// failed registration, a missing executable path) go through this.

#include <string_view>

namespace quorvane::iepg {

class UserMessages {
 public:
  virtual ~UserMessages() = default;
  virtual void Show(std::string_view text) = 0;
};

// One line "TeskIEPG: <text>" on stderr.
class StderrMessages final : public UserMessages {
 public:
  void Show(std::string_view text) override;
};

}  // namespace quorvane::iepg
