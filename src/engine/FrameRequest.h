#pragma once

#include "engine/FrameTarget.h"

#include <cstdint>

namespace kavelin {

// One frame tick: where to draw, and whether only one field's rows are composed.
class FrameRequest {
public:
    FrameRequest(FrameTarget& target, bool interlaced = false, int32_t field = -1)
        : target_(target), interlaced_(interlaced), field_(field) {}

    FrameBuffer* beginFrame() { return target_.beginFrame(); }
    bool endFrame(FrameBuffer* frame) { return target_.endFrame(frame); }
    bool interlaced() const { return interlaced_; }
    int32_t field() const { return field_; }

private:
    FrameTarget& target_;
    bool interlaced_;
    int32_t field_;
};

} // namespace kavelin
