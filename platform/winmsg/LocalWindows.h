#pragma once
// The windows this process serves, by the unique bus name of their
// connection. Looking up one of them must not ask the bus: the asking
// thread may be the one that would have to answer, and would wait for
// itself.

#include <optional>
#include <string>

namespace quorvane::platform {

void RememberLocalWindow(const std::string& uniqueName, const std::string& title);
void ForgetLocalWindow(const std::string& uniqueName);
std::optional<std::string> LocalWindowTitle(const std::string& uniqueName);

}  // namespace quorvane::platform
