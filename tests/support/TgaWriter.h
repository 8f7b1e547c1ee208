#pragma once

#include "image/TgaWriter.h"

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace kavelin::test {

// An uncompressed TGA file of 0xAARRGGBB pixels, top row first: depth 32 keeps alpha, 24 drops
// it; `topLeft` chooses the origin.
inline bool writeTga(const std::string& path, int width, int height,
                     const std::vector<uint32_t>& pixels, int depth = 32, bool topLeft = true) {
    const auto header = tgaHeader(uint16_t(width), uint16_t(height), uint8_t(depth), topLeft);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(header.data()), header.size());
    for (int row = 0; row < height; ++row)
        for (int x = 0; x < width; ++x) {
            const uint32_t p = pixels[size_t((topLeft ? row : height - 1 - row) * width + x)];
            out.write(reinterpret_cast<const char*>(&p), depth / 8); // B, G, R (, A)
        }
    return bool(out.flush());
}

} // namespace kavelin::test
