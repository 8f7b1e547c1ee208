#include "image/FrameBuffer.h"

#include <cstdlib>

namespace kavelin {

FrameBuffer::FrameBuffer(uint8_t* pixels, int32_t pitch, int32_t width, int32_t height,
                         int32_t reserved, bool ownsPixels)
    : reserved_(reserved), pixels_(pixels), pitch_(pitch), width_(width), height_(height),
      ownsPixels_(ownsPixels) {}

FrameBuffer::~FrameBuffer() {
    if (ownsPixels_)
        std::free(pixels_);
}

std::unique_ptr<FrameBuffer> FrameBuffer::create(int32_t width, int32_t height) {
    // The pitch must fit 32 bits as well.
    if (width > INT32_MAX / 4)
        return nullptr;
    PixelArray pixels = allocatePixels(width, height);
    if (!pixels)
        return nullptr;
    auto buffer = std::make_unique<FrameBuffer>(pixels.get(), width * 4, width, height);
    buffer->owned_ = std::move(pixels);
    return buffer;
}

} // namespace kavelin
