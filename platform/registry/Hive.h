#pragma once
// The four registry roots. HKEY_USERS addresses a user's tree by the
// user's security identifier ("S-1-22-1-<uid>") as its first path element.

namespace quorvane::platform {

enum class Hive { LocalMachine, CurrentUser, Users, ClassesRoot };

// Value types, numbered as the registry numbers them.
enum class ValueType : unsigned { String = 1, Binary = 3, Dword = 4 };

}  // namespace quorvane::platform
