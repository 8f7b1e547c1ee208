#pragma once

#include "app/CommandLine.h"

namespace kavelin {

// Runs the server without any window until SIGINT or SIGTERM. Log lines go to standard output.
// Exit code 0 after a signal, 1 when the system could not start.
int runHeadless(const CommandLine& commandLine);

} // namespace kavelin
