#include "app/TgaWriter.h"

#include "image/Image.h"

#include <cstdint>
#include <cstdio>

namespace kavelin {

bool writeTga(const char* path, const Image& image) {
    const int32_t width = image.width(), height = image.height();
    if (width < 0 || width > 65535 || height < 0 || height > 65535)
        return false;
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr)
        return false;
    // Type 2 (true colour), 32 bits, 8 alpha bits, origin top-left.
    uint8_t header[18] = {};
    header[2] = 2;
    header[12] = static_cast<uint8_t>(width & 0xFF);
    header[13] = static_cast<uint8_t>(width >> 8);
    header[14] = static_cast<uint8_t>(height & 0xFF);
    header[15] = static_cast<uint8_t>(height >> 8);
    header[16] = 32;
    header[17] = 0x28;
    bool ok = std::fwrite(header, 1, sizeof header, file) == sizeof header;
    const size_t bytes = size_t(width) * size_t(height) * 4;
    if (ok && bytes > 0)
        ok = std::fwrite(image.pixels(), 1, bytes, file) == bytes;
    return std::fclose(file) == 0 && ok;
}

} // namespace kavelin
