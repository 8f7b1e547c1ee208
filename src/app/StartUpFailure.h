#pragma once

#include "app/Application.h"

#include <string>

namespace kavelin {

// What a start-up that failed tells the operator, the same headless and with the windows: one
// line ("cannot listen on 0.0.0.0 port 2031 (in use, or not an address of this machine)"),
// which goes to standard error after "kavelin: ", and the program's exit code.
struct StartUpFailure {
    std::string message;
    int exitCode = 1;
};

StartUpFailure describeStartUpFailure(Application::Failure failure,
                                      const Application::Settings& settings);

} // namespace kavelin
