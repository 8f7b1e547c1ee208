#include "text/VerticalSmoothEffect.h"

#include <cstddef>

namespace kavelin {

bool VerticalSmoothEffect::applyRows(uint8_t*, int32_t, int32_t, int32_t, int32_t, uint8_t* text,
                                     int32_t textWidth, int32_t textHeight, const LineInk&, int32_t,
                                     int32_t) {
    if (text == nullptr)
        return false;
    if (textWidth <= 0 || textHeight <= 1)
        return true;
    const size_t rowBytes = static_cast<size_t>(textWidth) * 4;
    // Top to bottom, so the row below is still unchanged when it is read.
    for (int32_t row = 0; row + 1 < textHeight; ++row) {
        uint8_t* p = text + static_cast<size_t>(row) * rowBytes;
        const uint8_t* below = p + rowBytes;
        for (size_t i = 0; i < rowBytes; ++i)
            p[i] = static_cast<uint8_t>((below[i] + 3 * p[i]) / 4);
    }
    return true;
}

} // namespace kavelin
