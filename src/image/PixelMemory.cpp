#include "image/PixelMemory.h"

namespace kavelin {

PixelArray allocatePixels(int64_t width, int64_t height, Fill fill) {
    if (width < 0 || height < 0 || width > kMaxPixelCount || height > kMaxPixelCount)
        return nullptr;
    const int64_t count = width * height;
    if (count > kMaxPixelCount)
        return nullptr;
    // At least one byte so that an empty array is still an array.
    const size_t bytes = count == 0 ? 1 : static_cast<size_t>(count) * 4;
    void* memory = fill == Fill::Zero ? std::calloc(bytes, 1) : std::malloc(bytes);
    return PixelArray(static_cast<uint8_t*>(memory));
}

} // namespace kavelin
