#pragma once

#include "engine/LogSink.h"

#include <mutex>
#include <string>
#include <vector>

namespace kavelin::test {

// A log that keeps every line, for checking exact log texts.
class RecordingLog : public LogSink {
public:
    std::vector<std::string> lines() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return lines_;
    }
    void clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.clear();
    }

protected:
    void writeLine(std::string_view line) override {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.emplace_back(line);
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

} // namespace kavelin::test
