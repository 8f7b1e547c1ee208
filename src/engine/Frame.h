#pragma once

#include "engine/FrameClock.h"
#include "image/FrameBuffer.h"

#include <cstdint>
#include <memory>

namespace kavelin {

// One composed picture as the outputs receive it: shared by all of them and never changed
// once handed out.
struct Frame {
    std::unique_ptr<FrameBuffer> pixels; // width x height, pitch width * 4
    int64_t number = 0;                  // the clock's frame number (from 1)
    SteadyClock::time_point deadline;    // when it was due

    int32_t width() const { return pixels->width(); }
    int32_t height() const { return pixels->height(); }
};

// Frame memory for one size, reused: a frame goes back to the pool when its last holder lets go.
class FramePool {
public:
    FramePool(int32_t width, int32_t height);

    // A frame to compose into (its pixels as the last user left them); none when memory is
    // short.
    std::shared_ptr<Frame> acquire();

private:
    struct Shelf;
    int32_t width_;
    int32_t height_;
    std::shared_ptr<Shelf> shelf_; // shared with the frames out there
};

} // namespace kavelin
