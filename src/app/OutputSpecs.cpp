#include "app/OutputSpecs.h"

#include "outputs/RawOutput.h"

namespace kavelin {

Result<std::unique_ptr<FrameConsumer>> makeOutput(const std::string& spec, LogSink& log) {
    if (spec.rfind("raw:", 0) == 0 && spec.size() > 4)
        return std::unique_ptr<FrameConsumer>(std::make_unique<RawOutput>(spec.substr(4), log));
    return failure("unknown output '" + spec + "'");
}

} // namespace kavelin
