// wakeward-ctl: the schedule service from the command line.

#include <string>
#include <vector>

#include "tools/wakeward-ctl/CtlCommands.h"

int main(int argc, char** argv) { return quorvane::ctl::RunCtl(std::vector<std::string>(argv + 1, argv + argc)); }
