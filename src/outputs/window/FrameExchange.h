#pragma once

#include "image/FrameBuffer.h"

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>

namespace kavelin {

// Hands frames from the window output's thread to the GUI thread that shows them, without
// tearing. Three buffers rotate: the producer copies into one, the newest frame waits in the
// second, and the GUI thread shows the third. Only pointers are swapped under the lock, so
// neither side ever waits for the other's copying or painting.
class FrameExchange {
public:
    // Three zeroed buffers of width x height (pitch width * 4); none when memory is short.
    static std::unique_ptr<FrameExchange> create(int32_t width, int32_t height);

    // Producer side: a copy of the frame becomes the newest, its alpha bytes opaque, because the
    // screen shows colour only. The part that overlaps is copied when the sizes differ.
    void publish(const FrameBuffer& frame);

    // Consumer side: the newest published frame (it stays valid until the next call), or none
    // while nothing has been published.
    const FrameBuffer* acquire();

private:
    enum { kDrawing, kReady, kShowing };
    explicit FrameExchange(std::array<std::unique_ptr<FrameBuffer>, 3> slots);

    std::array<std::unique_ptr<FrameBuffer>, 3> slots_;
    std::mutex mutex_; // guards the pointers in kReady and kShowing, and the two flags
    bool fresh_ = false;
    bool showable_ = false;
};

} // namespace kavelin
