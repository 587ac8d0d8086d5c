#pragma once
// The console user of a process that runs as a plain program: the user it
// runs as, who is logged on whenever the program runs at all.

#include "platform/session/ConsoleUser.h"

namespace quorvane::platform {

class ProcessUserProvider final : public ConsoleUserProvider {
 public:
  std::optional<ConsoleUser> CurrentConsoleUser() const override;
};

}  // namespace quorvane::platform
