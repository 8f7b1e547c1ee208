#include "image/TgaWriter.h"

#include "image/Image.h"

#include <cstdint>
#include <cstdio>

namespace kavelin {

std::array<uint8_t, 18> tgaHeader(uint16_t width, uint16_t height, uint8_t depth, bool topLeft) {
    std::array<uint8_t, 18> header{};
    header[2] = 2; // uncompressed true colour
    header[12] = static_cast<uint8_t>(width & 0xFF);
    header[13] = static_cast<uint8_t>(width >> 8);
    header[14] = static_cast<uint8_t>(height & 0xFF);
    header[15] = static_cast<uint8_t>(height >> 8);
    header[16] = depth;
    header[17] = static_cast<uint8_t>((topLeft ? 0x20 : 0x00) | (depth == 32 ? 0x08 : 0x00));
    return header;
}

bool writeTga(const char* path, const Image& image) {
    const int32_t width = image.width(), height = image.height();
    if (width < 0 || width > 65535 || height < 0 || height > 65535)
        return false;
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr)
        return false;
    const auto header =
        tgaHeader(static_cast<uint16_t>(width), static_cast<uint16_t>(height), 32, true);
    bool ok = std::fwrite(header.data(), 1, header.size(), file) == header.size();
    const size_t bytes = size_t(width) * size_t(height) * 4;
    if (ok && bytes > 0)
        ok = std::fwrite(image.pixels(), 1, bytes, file) == bytes;
    return std::fclose(file) == 0 && ok;
}

} // namespace kavelin
