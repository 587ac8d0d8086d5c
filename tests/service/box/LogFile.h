#pragma once
// The service log of a test: switched on in a folder of the test's own,
// read back as the texts of its lines (without the time stamps).

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/clock/Clock.h"
#include "service/log/ServiceLog.h"

namespace TESKTV::SERVICE::testing {

inline void OpenTestLog(ServiceLog& log, const std::filesystem::path& folder, const quorvane::platform::Clock& clock) {
  std::filesystem::create_directories(folder);
  std::ofstream(folder / ServiceLog::kSwitchFile) << "[DEBUG]\nLOG_LEVEL=0\n";
  log.Open(folder, clock);
}

inline std::vector<std::string> LogTexts(const std::filesystem::path& folder) {
  std::ifstream in(folder / ServiceLog::kLogFile, std::ios::binary);
  std::stringstream all;
  all << in.rdbuf();
  std::vector<std::string> texts;
  std::string line;
  std::istringstream lines(all.str());
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const auto tab = line.find('\t');
    texts.push_back(tab == std::string::npos ? line : line.substr(tab + 1));
  }
  return texts;
}

}  // namespace TESKTV::SERVICE::testing
