#pragma once

#include "image/PixelMemory.h"

#include <cstdint>

namespace kavelin {

// Where a row of a picture can change what is below it: pixels outside [first, end) have alpha
// 0. An empty row has first == end.
struct RowSpan {
    uint32_t first = 0;
    uint32_t end : 31 = 0;
    uint32_t opaque : 1 = 0; // every pixel in [first, end) has alpha 255
};

// The span of every row of a picture, taken when the picture is made or changed, so that
// composition can pass over what cannot change a pixel. Its memory counts against the budget
// like pixels. Pictures narrower than kMinWidth have none: there the table would cost more
// than it saves.
class RowCoverage {
public:
    static constexpr int32_t kMinWidth = 16;

    // Measures the rows of width x height pixels (rows packed tightly); the table stays empty
    // when the picture is too narrow or the memory is not granted.
    void measure(const uint8_t* pixels, int32_t width, int32_t height);
    void clear() { spans_.reset(); }

    bool empty() const { return !spans_; }
    RowSpan row(int32_t y) const;

private:
    PixelArray spans_; // one RowSpan (two pixels' worth of bytes) per row
};

// The span of one row of `width` pixels.
RowSpan measureRow(const uint8_t* row, int32_t width);

} // namespace kavelin
