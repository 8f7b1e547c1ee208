#pragma once

#include "app/CommandLine.h"

namespace kavelin {

// Runs the server without any window until SIGINT or SIGTERM. Log lines go to standard output.
// Exit code 0 after a signal; when the system could not start, one line on standard error and
// the exit code that StartUpFailure.h gives (1, or 2 when no output could start).
int runHeadless(const CommandLine& commandLine);

} // namespace kavelin
