#pragma once

#include "image/TgaWriter.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace kavelin::test {

// Writes an uncompressed true-colour TGA of any depth and origin, to exercise the reader:
// pixels are 0xAARRGGBB values, top row first.
// depth 32 keeps alpha, depth 24 drops it; topLeft chooses the origin bit.
inline bool writeTga(const std::string& path, int width, int height,
                     const std::vector<uint32_t>& pixels, int depth = 32, bool topLeft = true) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
        return false;
    const auto header = tgaHeader(static_cast<uint16_t>(width), static_cast<uint16_t>(height),
                                  static_cast<uint8_t>(depth), topLeft);
    std::fwrite(header.data(), 1, header.size(), f);
    const int bytes = depth / 8;
    for (int row = 0; row < height; ++row) {
        const int y = topLeft ? row : height - 1 - row;
        for (int x = 0; x < width; ++x) {
            const uint32_t p = pixels[static_cast<size_t>(y * width + x)];
            const uint8_t bgra[4] = {static_cast<uint8_t>(p), static_cast<uint8_t>(p >> 8),
                                     static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 24)};
            std::fwrite(bgra, 1, static_cast<size_t>(bytes), f);
        }
    }
    return std::fclose(f) == 0;
}

// A width x height picture of one colour.
inline std::vector<uint32_t> solid(int width, int height, uint32_t colour) {
    return std::vector<uint32_t>(static_cast<size_t>(width * height), colour);
}

} // namespace kavelin::test
