#include "image/PixelMemory.h"

#include "base/MemoryBudget.h"

namespace kavelin {

void PixelRelease::operator()(uint8_t* p) const {
    std::free(p);
    if (p != nullptr)
        MemoryBudget::process().give(counted);
}

PixelArray allocatePixels(int64_t width, int64_t height, Fill fill, bool quiet) {
    if (width < 0 || height < 0 || width > kMaxPixelCount || height > kMaxPixelCount)
        return nullptr;
    const int64_t count = width * height;
    if (count > kMaxPixelCount)
        return nullptr;
    // At least one byte so that an empty array is still an array.
    const size_t bytes = count == 0 ? 1 : static_cast<size_t>(count) * 4;
    const uint64_t counted = bytes + kPixelArrayOverhead;
    if (!MemoryBudget::process().take(counted, quiet))
        return nullptr;
    void* memory = fill == Fill::Zero ? std::calloc(bytes, 1) : std::malloc(bytes);
    if (memory == nullptr) {
        MemoryBudget::process().give(counted);
        if (!quiet)
            reportOutOfMemory();
        return nullptr;
    }
    return PixelArray(static_cast<uint8_t*>(memory), PixelRelease{counted});
}

} // namespace kavelin
