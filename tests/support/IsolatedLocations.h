#pragma once
// Points the suite's locations (user data, user hive, machine hive) and the
// system bus into one folder, so that a test's service and clients see
// nothing of the machine and meet only on the test's private session bus.

#include <cstdlib>
#include <string>

namespace quorvane::testing {

inline void UseLocationsIn(const std::string& folder) {
  ::setenv("XDG_DATA_HOME", (folder + "/data").c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", (folder + "/config").c_str(), 1);
  ::setenv("QUORVANE_MACHINE_DIR", (folder + "/machine").c_str(), 1);
  ::setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + folder + "/no-system-bus").c_str(), 1);
}

}  // namespace quorvane::testing
