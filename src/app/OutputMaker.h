#pragma once

#include "base/Result.h"
#include "engine/Format.h"
#include "engine/OutputSink.h"

#include <memory>
#include <string>

namespace kavelin {

class LogSink;

// The consumer of an output named on the command line or in a command that needs no windows
// Whether `output` has the form of an output (its file, host or options are not checked).
bool isOutputForm(const std::string& output);
// The forms, on one line, for messages.
const char* outputForms();

// ("raw:PATH" and the media outputs: PATH.mkv, PATH.mov, PATH.webm, srt://, udp://, rtmp://,
// gst:), for frames of `format`; an error for any other, or for a media output whose options
// are wrong.
Result<std::unique_ptr<FrameConsumer>> makeOutput(const std::string& output, const Format& format,
                                                  LogSink& log);

} // namespace kavelin
