#include "engine/Frame.h"

#include <mutex>
#include <new>
#include <vector>

namespace kavelin {

struct FramePool::Shelf {
    std::mutex mutex;
    std::vector<std::unique_ptr<Frame>> free;
};

FramePool::FramePool(int32_t width, int32_t height)
    : width_(width), height_(height), shelf_(std::make_shared<Shelf>()) {
    shelf_->free.reserve(16);
}

std::shared_ptr<Frame> FramePool::acquire() {
    std::unique_ptr<Frame> frame;
    {
        std::lock_guard lock(shelf_->mutex);
        if (!shelf_->free.empty()) {
            frame = std::move(shelf_->free.back());
            shelf_->free.pop_back();
        }
    }
    if (!frame) {
        frame = std::make_unique<Frame>();
        frame->pixels = FrameBuffer::create(width_, height_);
        if (!frame->pixels)
            return nullptr;
    }
    // The last holder, on whatever thread, puts the frame back on the shelf, or frees it when
    // the shelf cannot grow for want of memory.
    return std::shared_ptr<Frame>(frame.release(), [shelf = shelf_](Frame* done) {
        std::unique_ptr<Frame> owned(done);
        std::lock_guard lock(shelf->mutex);
        try {
            shelf->free.push_back(std::move(owned));
        } catch (const std::bad_alloc&) {
        }
    });
}

} // namespace kavelin
