#pragma once

// Builds sprite-font files for tests: glyph sheets with marker rows, spacing files, raw TGA
// bytes for broken files.

#include "image/Image.h"
#include "image/TgaWriter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace kavelin::test {

inline void putPixel(Image& image, int32_t x, int32_t y, uint8_t r, uint8_t g, uint8_t b,
                     uint8_t a) {
    uint8_t* p = image.pixels() + (size_t(y) * size_t(image.width()) + size_t(x)) * 4;
    p[0] = b;
    p[1] = g;
    p[2] = r;
    p[3] = a;
}

// A sheet of cells of the given widths, laid side by side with one empty column between
// them, each glyphHeight high below the two marker rows. Every pixel of glyph i is opaque with
// red 200, green 100 + i / 2 and blue i, so a drawn pixel tells which glyph it came from.
inline void buildSheet(Image& sheet, const std::vector<int32_t>& widths, int32_t glyphHeight) {
    int32_t total = 0;
    for (int32_t w : widths)
        total += w + 1;
    ASSERT_TRUE(sheet.allocate(total, glyphHeight + 2));
    int32_t x = 0;
    for (size_t i = 0; i < widths.size(); ++i) {
        const int32_t w = widths[i];
        putPixel(sheet, x, 0, 0, 255, 0, 255);
        putPixel(sheet, x + w - 1, 0, 255, 0, 0, 255);
        for (int32_t gy = 2; gy < glyphHeight + 2; ++gy)
            for (int32_t gx = x; gx < x + w; ++gx)
                putPixel(sheet, gx, gy, 200, uint8_t(100 + i / 2), uint8_t(i), 255);
        x += w + 1;
    }
}

// The glyph a drawn pixel came from, or -1 for a transparent pixel.
inline int32_t glyphAt(const Image& image, int32_t x, int32_t y) {
    const PixelColour c = image.pixelAt(x, y);
    return c.alpha == 0 ? -1 : c.blue;
}

// A fresh directory for one test's files.
inline std::string tempDir(const std::string& name) {
    const std::string dir = ::testing::TempDir() + "kavelin_sprite_" + name;
    std::string command = "rm -rf '" + dir + "' && mkdir -p '" + dir + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
    return dir;
}

inline void writeFile(const std::string& path, const std::string& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

// An 18-byte TGA header followed by `pixelBytes` bytes of value 0x7F.
inline std::string rawTga(int type, int width, int height, int depth, int descriptor,
                          size_t pixelBytes) {
    std::string b(18, '\0');
    b[2] = char(type);
    b[12] = char(width & 0xFF);
    b[13] = char(width >> 8);
    b[14] = char(height & 0xFF);
    b[15] = char(height >> 8);
    b[16] = char(depth);
    b[17] = char(descriptor);
    return b + std::string(pixelBytes, '\x7F');
}

} // namespace kavelin::test
