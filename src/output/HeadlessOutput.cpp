#include "output/HeadlessOutput.h"

#include "image/FrameBuffer.h"
#include "net/Command.h"

#include <cstdio>

namespace kavelin {

HeadlessOutput::HeadlessOutput(int32_t width, int32_t height, int32_t framesPerSecond)
    : ClockedOutput(width, height, framesPerSecond) {}

HeadlessOutput::~HeadlessOutput() {
    stopFrames();
}

bool HeadlessOutput::open() {
    std::lock_guard<std::mutex> lock(lock_);
    if (!back_)
        back_ = FrameBuffer::create(width(), height());
    return back_ != nullptr;
}

FrameBuffer* HeadlessOutput::beginFrame() {
    lock_.lock();
    return back_.get();
}

bool HeadlessOutput::endFrame(FrameBuffer*) {
    lock_.unlock();
    return true;
}

bool HeadlessOutput::executeOutputCommand(Command& command) {
    std::printf("(HeadlessOutput) Unsupported command (%d)\n", command.number());
    std::fflush(stdout);
    return false;
}

} // namespace kavelin
