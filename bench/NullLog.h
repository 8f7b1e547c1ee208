#pragma once

#include "engine/LogSink.h"

namespace kavelin::bench {

// Drops every log line, so benchmarks measure the work and not the log.
class NullLog : public LogSink {
public:
    void post(LogLine) override {}
};

} // namespace kavelin::bench
