#pragma once
// The automation interface on D-Bus: the names both ends agree on, and the
// shapes of the answers. Every method answers its HRESULT first and then
// its out values, also when it failed, so that a client reads nErr after
// E_FAIL; a record travels as the 3792 bytes of the wire layout and is
// empty when the method failed.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "interface/record/ScheduleProgramBox.h"
#include "platform/base/HResult.h"

namespace quorvane::automation {

using platform::HRESULT;

// The bus name, from the ProgID.
inline constexpr char kBusName[] = "Wakeward.ScheduleProgram";
// The factory object (the coclass) and its interface.
inline constexpr char kFactoryPath[] = "/Wakeward/ScheduleProgram";
inline constexpr char kFactoryInterface[] = "Wakeward.ScheduleProgramCtrl";
// Each client's instance lives below the factory.
inline constexpr char kInstancePathPrefix[] = "/Wakeward/ScheduleProgram/Instance";
inline constexpr char kInstanceInterface[] = "Wakeward.IScheduleProgram";
inline constexpr char kEventsInterface[] = "Wakeward._IScheduleProgramEvents";

// Class registration identifiers.
inline constexpr char kProgId[] = "Wakeward.ScheduleProgram.1";
inline constexpr char kVersionIndependentProgId[] = "Wakeward.ScheduleProgram";
inline constexpr char kClassName[] = "ScheduleProgram Class";
inline constexpr char kClsid[] = "{E92C756C-340D-45B3-BBDB-133A7FF83E6B}";
inline constexpr char kAppId[] = "{6000EB8D-D324-4076-A4BF-0FAA8A88EEAF}";
inline constexpr char kLibId[] = "{4C7B12FF-A9D8-46CF-8274-00EE6076009D}";
inline constexpr char kLibVersion[] = "1.1";
inline constexpr char kLibHelpText[] = "Wakeward 1.1 Type Library";
inline constexpr char kInterfaceIid[] = "{122ACA1F-1FC8-48FE-A34D-B2C54D4E768C}";
inline constexpr char kEventsIid[] = "{4D2C2D8D-6348-4ED7-8480-0A0BF48717CF}";

// The error a caller gets who may not use the service.
inline constexpr char kAccessDeniedError[] = "org.freedesktop.DBus.Error.AccessDenied";

// The object path of instance number `serial`.
std::string InstancePath(std::uint64_t serial);
bool IsInstancePath(std::string_view path);

// A BOOL argument counts as true when its low 16 bits are not zero.
constexpr bool BoolArgument(std::int32_t value) { return (static_cast<std::uint32_t>(value) & 0xFFFFu) != 0; }

// Answers, shared by the service's engine and the client proxy.
struct HrReply {
  HRESULT hr = platform::E_FAIL;
};
struct CountReply {
  HRESULT hr = platform::E_FAIL;
  std::int32_t nNum = 0;
};
struct ErrReply {
  HRESULT hr = platform::E_FAIL;
  std::int32_t nErr = 0;
};
struct BoxReply {
  HRESULT hr = platform::E_FAIL;
  std::optional<wire::SCHEDULE_PROGRAM_BOX> box;  // empty on failure
};
struct SleepTimeReply {
  HRESULT hr = platform::E_FAIL;
  std::int32_t lCategory = 0;
  std::int32_t lTime = 0;
};

}  // namespace quorvane::automation
