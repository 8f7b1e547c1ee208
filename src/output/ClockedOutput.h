#pragma once

#include "engine/FrameTimer.h"
#include "engine/Output.h"

#include <atomic>

namespace kavelin {

class FrameSource;

// An output with its own frame clock: every tick hands a frame request to the frame source.
// Derived outputs lend the frame buffer (beginFrame/endFrame) and must call stopFrames in their
// destructor, before the parts a tick uses are gone.
class ClockedOutput : public Output, private FrameTimer {
public:
    ClockedOutput(int32_t width, int32_t height, int32_t framesPerSecond);
    ~ClockedOutput() override;

    bool startFrames() override;
    void setFrameSource(FrameSource* source) override { source_ = source; }
    // Stops the frame clock; no tick runs once this has returned.
    void stopFrames() { FrameTimer::stop(); }

private:
    void tick() override;

    int32_t framesPerSecond_;
    std::atomic<FrameSource*> source_{nullptr};
};

} // namespace kavelin
