#include "image/PixelExpand.h"

#include "image/PixelDispatch.h"

#include <cstring>

namespace kavelin {

namespace {

using Expander = void (*)(uint8_t*, const uint8_t*, int64_t);

Expander widestExpander() {
    // The level the pixel kernels use: KAVELIN_SIMD rules both out alike.
    const SimdLevel level = activeSimdLevel();
    if (level >= SimdLevel::Avx512 && avx512ExpandSupported())
        return expand24Avx512;
    if (level >= SimdLevel::Avx2)
        return expand24Avx2;
    return expand24Scalar;
}

} // namespace

bool avx512ExpandSupported() {
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512vbmi");
}

void expand24(uint8_t* dst, const uint8_t* src, int64_t count) {
    static const Expander expander = widestExpander();
    expander(dst, src, count);
}

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

} // namespace kavelin
