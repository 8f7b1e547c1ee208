#include "image/PixelExpand.h"

#include <cstring>

namespace kavelin {

namespace {

void expand24Scalar(uint8_t* dst, const uint8_t* src, int64_t count) {
    int64_t i = 0;
    // Four-byte loads read one byte past the pixel; stop one short of the end.
    for (; i + 1 < count; ++i) {
        uint32_t v;
        std::memcpy(&v, src + 3 * i, 4);
        v |= 0xFF000000u;
        std::memcpy(dst + 4 * i, &v, 4);
    }
    for (; i < count; ++i) {
        dst[4 * i] = src[3 * i];
        dst[4 * i + 1] = src[3 * i + 1];
        dst[4 * i + 2] = src[3 * i + 2];
        dst[4 * i + 3] = 255;
    }
}

} // namespace

void expand24(uint8_t* dst, const uint8_t* src, int64_t count) {
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2)
        expand24Avx2(dst, src, count);
    else
        expand24Scalar(dst, src, count);
}

// Used for the tail of the AVX2 version.
void expand24Tail(uint8_t* dst, const uint8_t* src, int64_t count) {
    expand24Scalar(dst, src, count);
}

} // namespace kavelin
