#include "app/OutputMaker.h"

#include "outputs/RawOutput.h"
#include "outputs/media/MediaOutput.h"

namespace kavelin {

bool isOutputForm(const std::string& output) {
    return output == "window" || (output.rfind("raw:", 0) == 0 && output.size() > 4) ||
           isMediaOutput(output);
}

const char* outputForms() {
    return "window, raw:PATH, PATH.mkv, PATH.mov, PATH.webm, srt://HOST:PORT, udp://HOST:PORT, "
           "rtmp://HOST/APP/KEY or gst:PIPELINE";
}

Result<std::unique_ptr<FrameConsumer>> makeOutput(const std::string& output, const Format& format,
                                                  LogSink& log) {
    if (output.rfind("raw:", 0) == 0 && output.size() > 4)
        return std::unique_ptr<FrameConsumer>(std::make_unique<RawOutput>(output.substr(4), log));
    if (isMediaOutput(output)) {
        Result<MediaPlan> plan = planMediaOutput(output, format);
        if (!plan)
            return plan.error();
        return std::unique_ptr<FrameConsumer>(
            std::make_unique<MediaOutput>(output, std::move(*plan), format, log));
    }
    return failure("unknown output '" + output + "'");
}

} // namespace kavelin
