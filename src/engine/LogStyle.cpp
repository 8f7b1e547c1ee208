#include "engine/LogStyle.h"

#include "engine/LogLevel.h"

#include <cstdio>
#include <ctime>
#include <string_view>

namespace kavelin {

namespace {

// "2026-12-07T02:40:10.123Z ", with the space after it.
void appendTime(std::string& out, std::chrono::system_clock::time_point time) {
    using namespace std::chrono;
    const auto ms = duration_cast<milliseconds>(time.time_since_epoch()).count();
    const std::time_t seconds = static_cast<std::time_t>(ms >= 0 ? ms / 1000 : (ms - 999) / 1000);
    const int milli = static_cast<int>(ms - static_cast<int64_t>(seconds) * 1000);
    std::tm utc{};
    ::gmtime_r(&seconds, &utc);
    char text[40];
    const int n =
        std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ ", utc.tm_year + 1900,
                      utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, milli);
    if (n > 0)
        out.append(text, static_cast<size_t>(n));
}

} // namespace

void appendStyled(std::string& out, const LogLine& line, LogStyle style) {
    const LogLevel level = levelOf(line.text);
    // A line posted without a time (none of the sink's) is shown with the time it is written.
    const auto time = line.time == std::chrono::system_clock::time_point{}
                          ? std::chrono::system_clock::now()
                          : line.time;
    std::string_view rest = line.text;
    // A text ending in a line feed has no empty line after it; an empty text is one empty line.
    if (!rest.empty() && rest.back() == '\n')
        rest.remove_suffix(1);
    for (;;) {
        const size_t feed = rest.find('\n');
        if (style.priority)
            out += syslogPrefix(level);
        if (style.timestamped) {
            appendTime(out, time);
            out += levelName(level);
            out += ' ';
        }
        out += rest.substr(0, feed);
        out += '\n';
        if (feed == std::string_view::npos)
            break;
        rest.remove_prefix(feed + 1);
    }
}

} // namespace kavelin
