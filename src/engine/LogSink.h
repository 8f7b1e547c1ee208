#pragma once

#include <chrono>
#include <cstdarg>
#include <string>

namespace kavelin {

// One line for the log. Status and error lines of commands and of the start-up are log lines;
// the server's, the outputs' and the font system's own texts (which end in a line feed, kept
// here) are diagnostics. Both kinds reach every place the log is shown; standard output
// shows diagnostics also when the log itself goes to a window.
struct LogLine {
    enum class Kind { Log, Diagnostic };
    Kind kind = Kind::Log;
    std::string text;
    // When the line was made (a stream that shows times shows this one, not when it wrote it).
    std::chrono::system_clock::time_point time{};
};

// Where every subsystem writes its lines. `log` and `diagnostic` format one line and may be
// called from any thread; they never wait for the line to be written, and never throw: a line
// that cannot be made for want of memory is lost (and counted where the sink counts).
class LogSink {
public:
    virtual ~LogSink() = default;

    void log(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void diagnostic(const char* format, ...) __attribute__((format(printf, 2, 3)));

    virtual void post(LogLine line) = 0;
    // A line that could not be made.
    virtual void lost() {}

private:
    void postFormatted(LogLine::Kind kind, const char* format, va_list args);
};

} // namespace kavelin
