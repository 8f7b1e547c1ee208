#pragma once

#include "image/PixelMemory.h"

#include <cstdint>
#include <memory>

namespace kavelin {

// A pixel area addressed with an explicit row pitch: pixel (x, y) at byte y * pitch + x * 4.
// Either a view of memory owned elsewhere (the output's back surface) or the owner of its
// pixels (the background).
class FrameBuffer {
public:
    // Owned pixels must come from std::malloc or std::calloc; they are released with std::free.
    FrameBuffer(uint8_t* pixels, int32_t pitch, int32_t width, int32_t height, int32_t reserved = 0,
                bool ownsPixels = false);
    ~FrameBuffer();

    FrameBuffer(const FrameBuffer&) = delete;
    FrameBuffer& operator=(const FrameBuffer&) = delete;

    // A zeroed, owning buffer with pitch width * 4; none when the memory cannot be had.
    static std::unique_ptr<FrameBuffer> create(int32_t width, int32_t height);

    uint8_t* pixels() const { return pixels_; }
    int32_t pitch() const { return pitch_; }
    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    int32_t reserved() const { return reserved_; }
    bool ownsPixels() const { return ownsPixels_ || owned_ != nullptr; }
    int64_t byteSize() const { return int64_t{height_} * pitch_; }

private:
    int32_t reserved_;
    uint8_t* pixels_;
    int32_t pitch_;
    int32_t width_;
    int32_t height_;
    bool ownsPixels_;
    PixelArray owned_; // the pixels of create(), counted against the memory budget
};

} // namespace kavelin
