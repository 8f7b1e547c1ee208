#pragma once

#include <cstdint>

namespace kavelin {

// Something run on every rendered TrueType line before the line is blended into its
// destination: it may draw into the destination (a shadow) or change the line in place.
// Pixels are 32-bit (blue, green, red, alpha); rows are `width` pixels long.
class FontEffect {
public:
    virtual ~FontEffect() = default;
    // (x, y) is where the line's top-left corner will be blended. The result is advisory.
    virtual bool apply(uint8_t* destination, int32_t destinationWidth, int32_t destinationHeight,
                       int32_t x, int32_t y, uint8_t* text, int32_t textWidth,
                       int32_t textHeight) = 0;
};

} // namespace kavelin
