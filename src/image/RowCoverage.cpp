#include "image/RowCoverage.h"

#include <cstring>

namespace kavelin {

namespace {

inline uint32_t pixelAt(const uint8_t* row, int32_t x) {
    uint32_t v;
    std::memcpy(&v, row + int64_t{x} * 4, 4);
    return v;
}

inline uint32_t alphaAt(const uint8_t* row, int32_t x) {
    return pixelAt(row, x) >> 24;
}

} // namespace

RowSpan measureRow(const uint8_t* row, int32_t width) {
    int32_t first = 0;
    while (first < width && alphaAt(row, first) == 0)
        ++first;
    int32_t end = width;
    while (end > first && alphaAt(row, end - 1) == 0)
        --end;
    // A plain reduction over whole pixels, which the compiler turns into vector code.
    uint32_t all = ~0u;
    for (int32_t x = first; x < end; ++x)
        all &= pixelAt(row, x);
    RowSpan span;
    span.first = static_cast<uint32_t>(first);
    span.end = static_cast<uint32_t>(end);
    span.opaque = first < end && all >> 24 == 255 ? 1 : 0;
    return span;
}

void RowCoverage::measure(const uint8_t* pixels, int32_t width, int32_t height) {
    spans_.reset();
    if (pixels == nullptr || width < kMinWidth || height < 1)
        return;
    static_assert(sizeof(RowSpan) == 8);
    // Without the memory, composition draws whole rows: no trouble for the command.
    PixelArray spans = allocatePixels(2, height, Fill::Unset, true);
    if (!spans)
        return;
    for (int32_t y = 0; y < height; ++y) {
        const RowSpan span = measureRow(pixels + int64_t{y} * width * 4, width);
        std::memcpy(spans.get() + int64_t{y} * 8, &span, 8);
    }
    spans_ = std::move(spans);
}

RowSpan RowCoverage::row(int32_t y) const {
    RowSpan span;
    std::memcpy(&span, spans_.get() + int64_t{y} * 8, 8);
    return span;
}

} // namespace kavelin
