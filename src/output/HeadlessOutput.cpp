#include "output/HeadlessOutput.h"

#include "engine/FrameRequest.h"
#include "engine/FrameSource.h"
#include "image/FrameBuffer.h"
#include "net/Command.h"

#include <cstdio>

namespace kavelin {

HeadlessOutput::HeadlessOutput(int32_t width, int32_t height, int32_t framesPerSecond)
    : Output(width, height), framesPerSecond_(framesPerSecond > 0 ? framesPerSecond : 25) {}

HeadlessOutput::~HeadlessOutput() {
    stopFrames();
}

bool HeadlessOutput::open() {
    std::lock_guard<std::mutex> lock(lock_);
    if (!back_)
        back_ = FrameBuffer::create(width(), height());
    return back_ != nullptr;
}

bool HeadlessOutput::startFrames() {
    return FrameTimer::start(static_cast<uint32_t>(1000 / framesPerSecond_), false);
}

void HeadlessOutput::stopFrames() {
    FrameTimer::stop();
}

void HeadlessOutput::setFrameSource(FrameSource* source) {
    std::lock_guard<std::mutex> lock(sourceMutex_);
    source_ = source;
}

void HeadlessOutput::tick() {
    FrameSource* source = nullptr;
    {
        std::lock_guard<std::mutex> lock(sourceMutex_);
        source = source_;
    }
    if (source == nullptr)
        return;
    FrameRequest request(*this);
    source->onFrame(request);
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
