#pragma once

#include "engine/FrameTimer.h"
#include "engine/Output.h"

#include <memory>
#include <mutex>

namespace kavelin {

class FrameSource;

// An output without a window: its frame clock composes every frame into an in-memory back
// buffer. It has no output commands.
class HeadlessOutput : public Output, private FrameTimer {
public:
    HeadlessOutput(int32_t width, int32_t height, int32_t framesPerSecond);
    ~HeadlessOutput() override;

    bool open() override;
    bool startFrames() override;
    void setFrameSource(FrameSource* source) override;
    FrameBuffer* beginFrame() override;
    bool endFrame(FrameBuffer* frame) override;
    bool executeOutputCommand(Command& command) override;

    // Stops the frame clock; no tick runs once this has returned.
    void stopFrames();

private:
    void tick() override;

    int32_t framesPerSecond_;
    std::unique_ptr<FrameBuffer> back_;
    std::mutex lock_; // held from beginFrame to endFrame
    std::mutex sourceMutex_;
    FrameSource* source_ = nullptr;
};

} // namespace kavelin
