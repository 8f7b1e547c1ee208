#pragma once

#include "engine/LogSink.h"

#include <string>

namespace kavelin {

// How a stream shows log lines. Plain shows each as it was made. Timestamped puts the time it
// was made (UTC, ISO 8601 with milliseconds) and its level in front, for machines that gather
// logs: "2026-12-07T02:40:10.123Z INFO Layer 0 set visible.". Priority puts the syslog
// priority of the level in front of that ("<6>"), which the journal reads and takes away.
struct LogStyle {
    bool timestamped = false;
    bool priority = false;

    bool plain() const { return !timestamped && !priority; }
};

// Appends the line as the style shows it: each line of its text on its own, prefixed and
// ended by a line feed (a text with a line feed of its own, a diagnostic, is cut there). Only
// for styles that are not plain: plain text is written as it stands.
void appendStyled(std::string& out, const LogLine& line, LogStyle style);

} // namespace kavelin
