#pragma once

#include "base/Result.h"
#include "engine/Format.h"
#include "engine/OutputSink.h"

#include <memory>
#include <string>

namespace kavelin {

class LogSink;

// The consumer of an output named on the command line or in a command that needs no windows
// ("raw:PATH"), for frames of `format`; an error for any other.
Result<std::unique_ptr<FrameConsumer>> makeOutput(const std::string& output, const Format& format,
                                                  LogSink& log);

} // namespace kavelin
