#pragma once
// The q311-sim command line: "serve" runs the daemon; the other commands
// are the front end for people and scripts, talking to a running daemon.

#include <ostream>

namespace quorvane::sim {

// Returns the exit status: 0 on success, 1 on bad input, when no simulator
// runs, or when the simulator refuses the request.
int RunSimCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

}  // namespace quorvane::sim
