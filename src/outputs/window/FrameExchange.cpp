#include "outputs/window/FrameExchange.h"

#include <algorithm>
#include <cstring>

namespace kavelin {

std::unique_ptr<FrameExchange> FrameExchange::create(int32_t width, int32_t height) {
    std::array<std::unique_ptr<FrameBuffer>, 3> slots;
    for (auto& slot : slots) {
        slot = FrameBuffer::create(width, height);
        if (!slot)
            return nullptr;
    }
    return std::unique_ptr<FrameExchange>(new FrameExchange(std::move(slots)));
}

FrameExchange::FrameExchange(std::array<std::unique_ptr<FrameBuffer>, 3> slots)
    : slots_(std::move(slots)) {}

void FrameExchange::publish(const FrameBuffer& source) {
    FrameBuffer& frame = *slots_[kDrawing];
    const int32_t width = std::min(frame.width(), source.width());
    const int32_t height = std::min(frame.height(), source.height());
    for (int32_t y = 0; y < height; ++y) {
        uint8_t* row = frame.pixels() + int64_t{y} * frame.pitch();
        std::memcpy(row, source.pixels() + int64_t{y} * source.pitch(), size_t(width) * 4);
        for (int32_t x = 0; x < width; ++x)
            row[x * 4 + 3] = 0xFF;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    std::swap(slots_[kDrawing], slots_[kReady]);
    fresh_ = true;
}

const FrameBuffer* FrameExchange::acquire() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (fresh_) {
        std::swap(slots_[kReady], slots_[kShowing]);
        fresh_ = false;
        showable_ = true;
    }
    return showable_ ? slots_[kShowing].get() : nullptr;
}

} // namespace kavelin
