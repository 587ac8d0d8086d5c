#include "service/host/EventLog.h"

#include <syslog.h>
#include <unistd.h>

#include <string>

#include "service/host/ServiceIdentity.h"

namespace TESKTV::SERVICE {

EventLogSink SystemLogSink() {
  return [](std::string_view text) {
    static const bool opened = [] {
      ::openlog(kServiceName, LOG_PID, LOG_DAEMON);
      return true;
    }();
    (void)opened;
    const std::string line(text);
    ::syslog(LOG_INFO, "%s", line.c_str());
  };
}

EventLogSink StandardOutputSink() {
  return [](std::string_view text) {
    // One write per line, so that a reader sees whole lines.
    std::string line(text);
    line.push_back('\n');
    std::size_t written = 0;
    while (written < line.size()) {
      const ssize_t n = ::write(STDOUT_FILENO, line.data() + written, line.size() - written);
      if (n <= 0) return;
      written += static_cast<std::size_t>(n);
    }
  };
}

}  // namespace TESKTV::SERVICE
