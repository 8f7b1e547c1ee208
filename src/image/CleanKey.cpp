#include "image/CleanKey.h"

#include "image/FrameBuffer.h"

#include <cstdint>
#include <cstring>

namespace kavelin {

void cleanKey(FrameBuffer& frame) {
    constexpr uint32_t kAlpha = 0xFF000000u;
    constexpr uint32_t kNearlyOpaque = 0xFE000000u;
    for (int32_t y = 0; y < frame.height(); ++y) {
        uint8_t* row = frame.pixels() + int64_t{y} * frame.pitch();
        for (int32_t x = 0; x < frame.width(); ++x) {
            // Whole pixels as words (blue in the low byte): the loop vectorises.
            uint32_t pixel;
            std::memcpy(&pixel, row + x * 4, 4);
            if ((pixel & kAlpha) >= kNearlyOpaque)
                pixel |= kAlpha;
            std::memcpy(row + x * 4, &pixel, 4);
        }
    }
}

} // namespace kavelin
