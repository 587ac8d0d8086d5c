#include "iepg/UserMessages.h"

#include <unistd.h>

#include <string>

namespace quorvane::iepg {

void StderrMessages::Show(std::string_view text) {
  std::string line = "TeskIEPG: ";
  line.append(text);
  line += '\n';
  // One write, so that the line is not mixed with other processes' output.
  (void)!::write(STDERR_FILENO, line.data(), line.size());
}

}  // namespace quorvane::iepg
