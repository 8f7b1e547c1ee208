#pragma once

#include "engine/LogSink.h"

#include <mutex>
#include <string>
#include <vector>

namespace kavelin::test {

// A log that keeps every line at once, for checking exact log texts: the log lines, and the
// diagnostics with their own line feeds, each oldest first.
class RecordingLog : public LogSink {
public:
    void post(LogLine line) override {
        std::lock_guard lock(mutex_);
        (line.kind == LogLine::Kind::Log ? lines_ : diagnostics_).push_back(std::move(line.text));
    }
    std::vector<std::string> lines() const {
        std::lock_guard lock(mutex_);
        return lines_;
    }
    std::vector<std::string> diagnostics() const {
        std::lock_guard lock(mutex_);
        return diagnostics_;
    }
    void clear() {
        std::lock_guard lock(mutex_);
        lines_.clear();
        diagnostics_.clear();
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_, diagnostics_;
};

} // namespace kavelin::test
