#pragma once

#include "engine/LogSink.h"

#include <cstdio>
#include <mutex>

namespace kavelin {

// Log lines written to a stream (standard output when headless, standard error when rendering
// offline), one line each, flushed at once.
class StreamLog : public LogSink {
public:
    explicit StreamLog(std::FILE* stream) : stream_(stream) {}

protected:
    void writeLine(std::string_view line) override {
        std::lock_guard<std::mutex> lock(mutex_);
        std::fwrite(line.data(), 1, line.size(), stream_);
        std::fputc('\n', stream_);
        std::fflush(stream_);
    }

private:
    std::FILE* stream_;
    std::mutex mutex_;
};

} // namespace kavelin
