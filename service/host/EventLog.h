#pragma once
// LogEvent: the service's messages for the administrator. As a system
// service they go to the system log (information level, the service's
// name as source); as a plain process, one line each to standard output.

#include <functional>
#include <string_view>

namespace TESKTV::SERVICE {

using EventLogSink = std::function<void(std::string_view text)>;

EventLogSink SystemLogSink();
EventLogSink StandardOutputSink();

}  // namespace TESKTV::SERVICE
