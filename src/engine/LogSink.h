#pragma once

#include <cstdarg>
#include <string_view>

namespace kavelin {

// Where status and error lines go. `log` formats one line and may be called from any thread.
class LogSink {
public:
    virtual ~LogSink() = default;

    void log(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void vlog(const char* format, va_list args);

protected:
    // Receives one whole formatted line, without a line feed.
    virtual void writeLine(std::string_view line) = 0;
};

} // namespace kavelin
