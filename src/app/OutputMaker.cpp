#include "app/OutputMaker.h"

#include "outputs/RawOutput.h"

namespace kavelin {

Result<std::unique_ptr<FrameConsumer>> makeOutput(const std::string& output,
                                                  const Format& /*format*/, LogSink& log) {
    if (output.rfind("raw:", 0) == 0 && output.size() > 4)
        return std::unique_ptr<FrameConsumer>(std::make_unique<RawOutput>(output.substr(4), log));
    return failure("unknown output '" + output + "'");
}

} // namespace kavelin
