#pragma once

#include "engine/LogChannel.h"
#include "engine/LogStyle.h"

#include <atomic>
#include <string>

namespace kavelin {

// Writes log lines to a file descriptor (standard output, standard error): a log line and its
// line feed, a diagnostic as it stands. A closed stream loses the lines; a full one is waited
// for until the log closes. A style other than plain shows each line with its time, level or
// priority (see LogStyle).
class StreamLogWriter : public LogWriter {
public:
    enum class Lines { All, DiagnosticsOnly };

    explicit StreamLogWriter(int fd, Lines lines = Lines::All, LogStyle style = {})
        : fd_(fd), lines_(lines), style_(style) {}

    void write(std::span<const LogLine> lines) override;
    void interrupt() override { interrupted_ = true; }

private:
    bool writeAll(const char* data, size_t size);

    std::string buffer_; // the lines of one batch, written at once

    int fd_;
    Lines lines_;
    LogStyle style_;
    std::atomic<bool> interrupted_{false};
};

} // namespace kavelin
