#include "app/OutputControl.h"

#include "engine/Engine.h"
#include "engine/LogSink.h"
#include "outputs/window/WindowControl.h"

namespace kavelin {

OutputControl::OutputControl(Engine& engine, LogSink& log, Factory factory, std::string owner)
    : engine_(engine), log_(log), factory_(std::move(factory)), owner_(std::move(owner)) {}

Result<int32_t> OutputControl::start(const std::string& output) {
    Result<std::unique_ptr<FrameConsumer>> consumer = factory_(output);
    Result<int32_t> number = failure("");
    if (!consumer) {
        number = consumer.error();
    } else {
        auto* window = dynamic_cast<WindowControl*>(consumer->get());
        number = engine_.addOutput(std::make_unique<OutputSink>(output, std::move(*consumer)));
        if (number && window != nullptr) {
            windows_.insert(*number);
            if (window_ == nullptr)
                window_ = window;
        }
    }
    if (!number)
        log_.log("ERROR (%s) : %s", output.c_str(), number.reason().c_str());
    return number;
}

int32_t OutputControl::startAll(const std::vector<std::string>& outputs) {
    int32_t started = 0;
    for (const std::string& output : outputs)
        if (start(output))
            ++started;
    return started;
}

Result<int32_t> OutputControl::addOutput(const std::string& output) {
    // The dialog shows and hides the one window; a second would have nothing to control it.
    if (output == "window") {
        log_.log("ERROR (window) : the window is shown and hidden with the control dialog");
        return failure("window");
    }
    Result<int32_t> number = start(output);
    if (number)
        log_.log("Output %d started: %s", *number, output.c_str());
    return number;
}

Status OutputControl::removeOutput(int32_t number) {
    if (windows_.count(number) != 0) {
        log_.log("ERROR : Output %d is the window: show and hide it with the control dialog.",
                 number);
        return failure("window");
    }
    std::string name;
    for (const OutputStatus& output : engine_.outputs())
        if (output.number == number)
            name = output.name;
    if (!engine_.removeOutput(number)) {
        log_.log("ERROR : No output %d.", number);
        return failure("no such output");
    }
    log_.log("Output %d stopped: %s", number, name.c_str());
    return done();
}

Result<int32_t> OutputControl::listOutputs() {
    const std::vector<OutputStatus> outputs = engine_.outputs();
    for (const OutputStatus& output : outputs)
        log_.log("Output %d: %s, %s, %llu frames dropped", output.number, output.name.c_str(),
                 outputStateName(output.state), static_cast<unsigned long long>(output.dropped));
    return static_cast<int32_t>(outputs.size());
}

void OutputControl::refuse(int32_t number) {
    log_.diagnostic("(%s) Unsupported command (%d)\n", owner_.c_str(), number);
}

} // namespace kavelin
