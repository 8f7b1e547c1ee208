#include "output/ClockedOutput.h"

#include "engine/FrameRequest.h"
#include "engine/FrameSource.h"

namespace kavelin {

ClockedOutput::ClockedOutput(int32_t width, int32_t height, int32_t framesPerSecond)
    : Output(width, height), framesPerSecond_(framesPerSecond > 0 ? framesPerSecond : 25) {}

ClockedOutput::~ClockedOutput() {
    stopFrames();
}

bool ClockedOutput::startFrames() {
    return FrameTimer::start(static_cast<uint32_t>(1000 / framesPerSecond_), false);
}

void ClockedOutput::tick() {
    FrameSource* source = source_.load();
    if (source == nullptr)
        return;
    FrameRequest request(*this);
    source->onFrame(request);
}

} // namespace kavelin
