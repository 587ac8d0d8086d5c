#pragma once
// Where a window that other programs look for lives on the session bus:
// its program owns "Quorvane.Window.<Class>" and serves kWindowObjectPath
// with kWindowInterface:
//   PostMessage(u msg, t wParam, x lParam)       sent without a reply
//   SendMessage(u msg, t wParam, x lParam) -> x  returns when handled
//   property Title (s)

#include <string>
#include <string_view>

#include "platform/base/Result.h"

namespace quorvane::platform {

inline constexpr char kWindowObjectPath[] = "/Quorvane/Window";
inline constexpr char kWindowInterface[] = "Quorvane.Window";
inline constexpr char kWindowBusPrefix[] = "Quorvane.Window.";

// The bus name of a window class: each character outside [A-Za-z0-9_]
// becomes '_' ("eHome Render Window" -> "Quorvane.Window.eHome_Render_Window").
// A class starting with a digit gets a leading '_', since a bus name
// element cannot start with one. An empty class, or one too long for a
// bus name, is an error.
Result<std::string> WindowBusName(std::string_view className);

}  // namespace quorvane::platform
