#pragma once

namespace kavelin {

class FrameBuffer;

// Lends a frame buffer to draw one frame into. Every beginFrame is followed by exactly one
// endFrame on the same thread with what beginFrame returned (possibly none).
class FrameTarget {
public:
    virtual ~FrameTarget() = default;
    virtual FrameBuffer* beginFrame() = 0;
    virtual bool endFrame(FrameBuffer* frame) = 0;
};

} // namespace kavelin
