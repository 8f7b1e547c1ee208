#pragma once

#include <string>
#include <vector>

namespace kavelin {

// A long option of the server, as its usage line shows it: `[--headless]` is a switch,
// `[--port N]` takes a value, `[--output TARGET]...` takes one each time it is given.
struct ServerOption {
    std::string name; // without the dashes
    bool takesValue = false;
    bool repeatable = false;
};

// The server's long options, read from the usage line of `kavelin --help`, which is the one
// place that lists them: the settings file and the manual page follow it.
const std::vector<ServerOption>& serverOptions();
// The option named so, or none.
const ServerOption* findServerOption(const std::string& name);

} // namespace kavelin
