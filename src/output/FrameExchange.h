#pragma once

#include "image/FrameBuffer.h"

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>

namespace kavelin {

// Hands finished frames from the frame clock's thread to the thread that shows them, without
// copying and without tearing. Three buffers rotate: the producer draws into one, the newest
// finished frame waits in the second, and the consumer shows the third. Only pointers are
// swapped under the lock, so neither side ever waits for the other's drawing or painting.
class FrameExchange {
public:
    // Three zeroed buffers of width x height (pitch width * 4); none when memory is short.
    static std::unique_ptr<FrameExchange> create(int32_t width, int32_t height);

    // Producer side: the buffer to draw the next frame into.
    FrameBuffer* drawing() const { return slots_[kDrawing].get(); }
    // Producer side: the drawn frame becomes the newest; its alpha bytes are set to opaque,
    // because the screen shows colour only.
    void publish();

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
