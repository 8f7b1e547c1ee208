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
// Whether `output` has the form of an output (its file or host is not checked).
bool isOutputForm(const std::string& output);
// The forms, on one line, for messages.
const char* outputForms();

Result<std::unique_ptr<FrameConsumer>> makeOutput(const std::string& output, const Format& format,
                                                  LogSink& log);

} // namespace kavelin
