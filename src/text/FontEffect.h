#pragma once

#include "text/LineInk.h"

#include <cstdint>

namespace kavelin {

// Something run on every rendered TrueType line before the line is blended into its
// destination: it either draws into the destination (a shadow) or changes the line in place.
// Pixels are 32-bit (blue, green, red, alpha); rows are `width` pixels long.
//
// A line is handed over cut to the part that can reach the destination: every pixel within
// the effects' summed reach of the destination is there, and an edge of the part that is not
// the line's own edge lies at least that far outside the destination. What an effect draws or
// changes near such an edge therefore never lands in the destination.
class FontEffect {
public:
    virtual ~FontEffect() = default;

    // (x, y) is where the top-left corner of the part handed over will be blended. The result
    // is advisory.
    bool apply(uint8_t* destination, int32_t destinationWidth, int32_t destinationHeight, int32_t x,
               int32_t y, uint8_t* text, int32_t textWidth, int32_t textHeight) {
        LineInk ink;
        ink.fill(textWidth, textHeight);
        return applyRows(destination, destinationWidth, destinationHeight, x, y, text, textWidth,
                         textHeight, ink, 0, destinationHeight);
    }
    // As apply, with the text's ink known; an effect that draws touches only the destination
    // rows [firstRow, endRow), so that applying it band after band gives what one apply gives.
    // An effect that changes the line changes it whole.
    virtual bool applyRows(uint8_t* destination, int32_t destinationWidth,
                           int32_t destinationHeight, int32_t x, int32_t y, uint8_t* text,
                           int32_t textWidth, int32_t textHeight, const LineInk& ink,
                           int32_t firstRow, int32_t endRow) = 0;
    // True for an effect that changes the line (the effects after it and the text see the
    // change), false for one that only draws into the destination.
    virtual bool changesLine() const = 0;
    // How far, along either axis, what the effect draws or changes for a pixel of the line can
    // lie from that pixel, counting the neighbours it reads.
    virtual int64_t reach() const = 0;
};

} // namespace kavelin
