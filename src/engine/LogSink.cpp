#include "engine/LogSink.h"

#include <cstdio>
#include <string>

namespace kavelin {

void LogSink::log(const char* format, ...) {
    va_list args;
    va_start(args, format);
    vlog(format, args);
    va_end(args);
}

void LogSink::vlog(const char* format, va_list args) {
    char buffer[1024];
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(buffer, sizeof buffer, format, copy);
    va_end(copy);
    if (n < 0)
        return;
    if (static_cast<size_t>(n) < sizeof buffer) {
        writeLine(std::string_view(buffer, static_cast<size_t>(n)));
        return;
    }
    std::string line(static_cast<size_t>(n) + 1, '\0');
    std::vsnprintf(line.data(), line.size(), format, args);
    line.resize(static_cast<size_t>(n));
    writeLine(line);
}

} // namespace kavelin
