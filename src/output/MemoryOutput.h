#pragma once

#include "engine/Output.h"

#include <cstdio>
#include <memory>

namespace kavelin {

class FrameSource;

// An output without a clock: it lends an in-memory frame buffer to whoever composes a frame.
// The offline renderer drives it one tick at a time.
class MemoryOutput : public Output {
public:
    // Diagnostics ("(<name>) Unsupported command (%d)") go to `diagnostics`.
    MemoryOutput(int32_t width, int32_t height, const char* name, std::FILE* diagnostics);
    ~MemoryOutput() override;

    FrameBuffer* beginFrame() override;
    bool endFrame(FrameBuffer* frame) override;
    bool open() override;
    bool startFrames() override { return true; }
    void setFrameSource(FrameSource* source) override { source_ = source; }
    bool executeOutputCommand(Command& command) override;

    FrameSource* frameSource() const { return source_; }
    // The last composed frame.
    const FrameBuffer* frame() const { return frame_.get(); }

private:
    std::unique_ptr<FrameBuffer> frame_;
    FrameSource* source_ = nullptr;
    const char* name_;
    std::FILE* diagnostics_;
};

} // namespace kavelin
