#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "tools/quorvane-reg/RegTool.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const quorvane::platform::Registry registry;
  return quorvane::tools::RunRegTool(args, registry, {std::cin, std::cout, std::cerr, isatty(STDIN_FILENO) == 1});
}
