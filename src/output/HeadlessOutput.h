#pragma once

#include "output/ClockedOutput.h"

#include <memory>
#include <mutex>

namespace kavelin {

// An output without a window: its frame clock composes every frame into an in-memory back
// buffer. It has no output commands.
class HeadlessOutput : public ClockedOutput {
public:
    HeadlessOutput(int32_t width, int32_t height, int32_t framesPerSecond);
    ~HeadlessOutput() override;

    bool open() override;
    FrameBuffer* beginFrame() override;
    bool endFrame(FrameBuffer* frame) override;
    bool executeOutputCommand(Command& command) override;

private:
    std::unique_ptr<FrameBuffer> back_;
    std::mutex lock_; // held from beginFrame to endFrame
};

} // namespace kavelin
