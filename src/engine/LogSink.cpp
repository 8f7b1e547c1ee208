#include "engine/LogSink.h"

#include <cstdio>
#include <new>

namespace kavelin {

void LogSink::log(const char* format, ...) {
    va_list args;
    va_start(args, format);
    postFormatted(LogLine::Kind::Log, format, args);
    va_end(args);
}

void LogSink::diagnostic(const char* format, ...) {
    va_list args;
    va_start(args, format);
    postFormatted(LogLine::Kind::Diagnostic, format, args);
    va_end(args);
}

void LogSink::postFormatted(LogLine::Kind kind, const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (n < 0)
        return;
    try {
        std::string text(static_cast<size_t>(n) + 1, '\0');
        std::vsnprintf(text.data(), text.size(), format, args);
        text.resize(static_cast<size_t>(n));
        post({kind, std::move(text), std::chrono::system_clock::now()});
    } catch (const std::bad_alloc&) {
        lost();
    }
}

} // namespace kavelin
