#include "engine/LogLevel.h"

namespace kavelin {

namespace {

bool startsWith(std::string_view text, std::string_view start) {
    return text.substr(0, start.size()) == start;
}

bool contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

} // namespace

LogLevel levelOf(std::string_view text) {
    if (startsWith(text, "ERROR") || startsWith(text, "Error") ||
        startsWith(text, "Unable to initialize") || contains(text, "initialization failed"))
        return LogLevel::Error;
    if (startsWith(text, "WARNING") || contains(text, "Unable") || contains(text, "failed") ||
        contains(text, "Failed") || contains(text, "Error"))
        return LogLevel::Warning;
    return LogLevel::Info;
}

const char* levelName(LogLevel level) {
    switch (level) {
    case LogLevel::Error:
        return "ERROR";
    case LogLevel::Warning:
        return "WARN";
    case LogLevel::Info:
        break;
    }
    return "INFO";
}

const char* syslogPrefix(LogLevel level) {
    // SD_ERR, SD_WARNING, SD_INFO of sd-daemon.h; the engine does without its header.
    switch (level) {
    case LogLevel::Error:
        return "<3>";
    case LogLevel::Warning:
        return "<4>";
    case LogLevel::Info:
        break;
    }
    return "<6>";
}

} // namespace kavelin
