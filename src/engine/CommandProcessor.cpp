#include "engine/CommandProcessor.h"

#include "engine/CommandSource.h"
#include "engine/FrameRequest.h"
#include "engine/Output.h"
#include "net/Command.h"

#include <chrono>
#include <mutex>
#include <thread>

namespace kavelin {

CommandProcessor::~CommandProcessor() {
    renderer_.reset();
    renderLock_.reset();
}

bool CommandProcessor::init(Output& output, CommandSource* source, const Background& background,
                            LogSink& log) {
    output_ = &output;
    output.setFrameSource(this);
    source_ = source;
    log_ = &log;
    renderer_ = std::make_unique<Renderer>(log);
    if (!renderer_->init(output.width(), output.height(), background.fill, background.colour))
        return false;
    renderLock_ = std::make_unique<CriticalSection>();
    if (source_ != nullptr)
        source_->setProcessor(this);
    output.startFrames();
    return true;
}

bool CommandProcessor::execute(Command& command) {
    if (command.number() == 0)
        return true;
    if (!renderLock_)
        return false;
    std::lock_guard<CriticalSection> lock(*renderLock_);
    if (command.number() >= 1000)
        return output_->executeOutputCommand(command);
    return renderer_->dispatch(command);
}

void CommandProcessor::composeFrame(FrameRequest& request) {
    if (!renderLock_)
        return;
    std::lock_guard<CriticalSection> lock(*renderLock_);
    FrameBuffer* target = request.beginFrame();
    renderer_->renderFrame(target, request.interlaced(), request.field());
    request.endFrame(target);
}

void CommandProcessor::onFrame(FrameRequest& request) {
    composeFrame(request);
    // Leaves the command thread a window even when composing takes most of a tick.
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

} // namespace kavelin
