#pragma once

#include "app/ServerOptions.h"
#include "base/Result.h"

#include <string>
#include <vector>

namespace kavelin {

// One setting of a settings file, as the arguments the command line gives for the same thing:
// `port = 4000` is {"--port", "4000"}, `headless = true` {"--headless"}, `headless = false`
// nothing; a list gives one setting per item, each with its own line.
struct TomlSetting {
    std::string key;
    int line = 0;
    std::vector<std::string> arguments;
};

// The settings of the TOML file at `path`, in the order of their lines. Every key is a long
// option of the server (serverOptions()): a switch takes true or false; an option with a value
// takes a string or a number, which the command line's parser reads as it reads the same text;
// a repeatable option takes a list of them. A file that cannot be read or parsed, an unknown
// key or a value of the wrong type is an error "PATH:LINE: what" ("PATH: what" without a line).
Result<std::vector<TomlSetting>> readTomlSettings(const std::string& path);

} // namespace kavelin
