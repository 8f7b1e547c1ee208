#pragma once

#include "app/CommandLine.h"

#include <optional>
#include <string>
#include <vector>

namespace kavelin {

// The server's command line with its `--config FILE`: the file's settings (TomlSettings.h) are
// read as options given before the command line's own, and an option that the command line
// gives replaces the file's (a repeatable one its whole list). A refused value is traced to
// the line of the file that gave it. None when the arguments name no file.
std::optional<CommandLine> parseWithConfigFile(const std::vector<std::string>& args);

} // namespace kavelin
