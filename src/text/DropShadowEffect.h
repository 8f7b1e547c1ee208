#pragma once

#include "text/FontEffect.h"

#include <vector>

namespace kavelin {

// A copy of the line's shape in one colour, offset by `distance` pixels in the direction
// `angle` (degrees, 0 right, 90 down) and blended under the text. Mode 0 is a hard copy, modes
// 1 and 2 soften the edge with a five- or nine-point average over a one-pixel ring.
class DropShadowEffect : public FontEffect {
public:
    DropShadowEffect(int32_t angle, int32_t distance, int32_t mode, uint8_t red, uint8_t green,
                     uint8_t blue, uint8_t opacity)
        : angle_(angle), distance_(distance), mode_(mode), red_(red), green_(green), blue_(blue),
          opacity_(opacity) {}

    bool applyRows(uint8_t* destination, int32_t destinationWidth, int32_t destinationHeight,
                   int32_t x, int32_t y, uint8_t* text, int32_t textWidth, int32_t textHeight,
                   const LineInk& ink, int32_t firstRow, int32_t endRow) override;
    bool changesLine() const override { return false; }
    int64_t reach() const override;

    // The offset the angle and distance give, each truncated toward zero.
    static void offset(int32_t angle, int32_t distance, int32_t& dx, int32_t& dy);

private:
    // How far the soft modes read beyond a pixel.
    int32_t radius() const;

    int32_t angle_;
    int32_t distance_;
    int32_t mode_;
    uint8_t red_, green_, blue_, opacity_;
    // One row of the shadow and, for the soft modes, three rows of the text's alpha; kept from
    // one line to the next.
    std::vector<uint32_t> row_;
    std::vector<uint8_t> alpha_;
};

} // namespace kavelin
