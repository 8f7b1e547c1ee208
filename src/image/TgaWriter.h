#pragma once

#include <array>
#include <cstdint>

namespace kavelin {

class Image;

// The 18-byte header of an uncompressed true-colour TGA file (depth 24 or 32).
std::array<uint8_t, 18> tgaHeader(uint16_t width, uint16_t height, uint8_t depth, bool topLeft);

// Writes an Image as an uncompressed 32-bit TGA file with its top row first, the layout the
// TGA reader takes back byte for byte. False when the file cannot be written.
bool writeTga(const char* path, const Image& image);

} // namespace kavelin
