#pragma once

#include <cstdint>

namespace kavelin {

struct Point {
    int32_t x = 0;
    int32_t y = 0;
};

// Where and how other pictures are drawn into a layer's picture (commands 69, 70, 84, 85): the
// cursor, its alignment, whether the picture grows to fit, and the draw kind, mode and value.
struct DrawCursor {
    int32_t cursorX = 0;
    int32_t cursorY = 0;
    int32_t alignX = 0;
    int32_t alignY = 0;
    uint8_t growToFit = 0; // the low 8 bits of the value given; drawing grows only when 1
    int32_t drawKind = 0;
    int32_t drawMode = 0;
    int32_t drawValue = 0;

    void set(int32_t x, int32_t y, int32_t alignHorizontal, int32_t alignVertical, int32_t grow,
             int32_t kind, int32_t mode, int32_t value);
    void setPosition(int32_t x, int32_t y, int32_t alignHorizontal, int32_t alignVertical);
    bool growsToFit() const { return growToFit == 1; }
    // Where a drawn picture's top-left corner goes in a picture of width x height: alignment 0
    // left/top, 1 right/bottom, 2 centre; any other value counts as 0. Saturates at the 32-bit
    // limits.
    Point anchor(int32_t width, int32_t height) const;
};

} // namespace kavelin
