#pragma once

#include <string_view>

namespace kavelin {

enum class LogLevel { Info, Warning, Error };

// The level of a log line by its words (the lines carry none of their own):
// - Error: a line that begins with "ERROR" or "Error" (a command or a file that failed, a
//   failed start-up's last word), and the start-up's failures, "Unable to initialize ..."
//   and "... initialization failed.";
// - Warning: a line that begins with "WARNING", and any other line with "Unable", "failed",
//   "Failed" or "Error" in it (an effect that could not be loaded, say);
// - Info: the rest.
LogLevel levelOf(std::string_view text);

// "INFO", "WARN", "ERROR".
const char* levelName(LogLevel level);

// The syslog priority that the journal reads in front of a line: "<6>", "<4>", "<3>".
const char* syslogPrefix(LogLevel level);

} // namespace kavelin
