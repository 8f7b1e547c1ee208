#pragma once

// Sprite-font glyph sheets for tests: cells with marker rows whose pixels tell which glyph they
// came from.

#include "image/Image.h"
#include "image/TgaWriter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kavelin::test {

inline void putPixel(Image& image, int32_t x, int32_t y, uint8_t r, uint8_t g, uint8_t b,
                     uint8_t a) {
    uint8_t* p = image.pixels() + (size_t(y) * size_t(image.width()) + size_t(x)) * 4;
    p[0] = b, p[1] = g, p[2] = r, p[3] = a;
}

// Cells of the given widths side by side with one empty column between them, each glyphHeight
// high below the two marker rows. Every pixel of glyph i is opaque with red 200, green
// 100 + i / 2 and blue i, so a drawn pixel tells which glyph it came from.
inline void buildSheet(Image& sheet, const std::vector<int32_t>& widths, int32_t glyphHeight) {
    int32_t total = 0;
    for (int32_t w : widths)
        total += w + 1;
    ASSERT_TRUE(sheet.allocate(total, glyphHeight + 2));
    for (int32_t i = 0, x = 0; i < int32_t(widths.size()); x += widths[size_t(i)] + 1, ++i) {
        putPixel(sheet, x, 0, 0, 255, 0, 255);
        putPixel(sheet, x + widths[size_t(i)] - 1, 0, 255, 0, 0, 255);
        for (int32_t gy = 2; gy < glyphHeight + 2; ++gy)
            for (int32_t gx = x; gx < x + widths[size_t(i)]; ++gx)
                putPixel(sheet, gx, gy, 200, uint8_t(100 + i / 2), uint8_t(i), 255);
    }
}

// The glyph a drawn pixel came from, or -1 for a transparent pixel.
inline int32_t glyphAt(const Image& image, int32_t x, int32_t y) {
    const PixelColour c = image.pixelAt(x, y);
    return c.alpha == 0 ? -1 : c.blue;
}

} // namespace kavelin::test
