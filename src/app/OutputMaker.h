#pragma once

#include "base/Result.h"
#include "engine/OutputSink.h"

#include <memory>
#include <string>

namespace kavelin {

class LogSink;

// The consumer of an output named on the command line that needs no windows ("raw:PATH"); an error
// for any other.
Result<std::unique_ptr<FrameConsumer>> makeOutput(const std::string& output, LogSink& log);

} // namespace kavelin
