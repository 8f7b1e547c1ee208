#pragma once

#include "base/Result.h"
#include "engine/OutputSink.h"

#include <memory>
#include <string>

namespace kavelin {

class LogSink;

// The consumer of an output spec that needs no windows ("raw:PATH"); an error for any other.
Result<std::unique_ptr<FrameConsumer>> makeOutput(const std::string& spec, LogSink& log);

} // namespace kavelin
