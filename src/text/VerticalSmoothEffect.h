#pragma once

#include "text/FontEffect.h"

namespace kavelin {

// Softens horizontal edges of the line in place: every byte of every row but the last becomes
// (the byte below + 3 × itself) / 4.
class VerticalSmoothEffect : public FontEffect {
public:
    bool applyRows(uint8_t* destination, int32_t destinationWidth, int32_t destinationHeight,
                   int32_t x, int32_t y, uint8_t* text, int32_t textWidth, int32_t textHeight,
                   const LineInk& ink, int32_t firstRow, int32_t endRow) override;
    bool changesLine() const override { return true; }
    // Each row reads the one below.
    int64_t reach() const override { return 1; }
};

} // namespace kavelin
