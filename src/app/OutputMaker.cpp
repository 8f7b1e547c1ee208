#include "app/OutputMaker.h"

#include "outputs/RawOutput.h"

namespace kavelin {

bool isOutputForm(const std::string& output) {
    return output == "window" || (output.rfind("raw:", 0) == 0 && output.size() > 4);
}

const char* outputForms() {
    return "window, raw:PATH";
}

Result<std::unique_ptr<FrameConsumer>> makeOutput(const std::string& output,
                                                  const Format& /*format*/, LogSink& log) {
    if (output.rfind("raw:", 0) == 0 && output.size() > 4)
        return std::unique_ptr<FrameConsumer>(std::make_unique<RawOutput>(output.substr(4), log));
    return failure("unknown output '" + output + "'");
}

} // namespace kavelin
