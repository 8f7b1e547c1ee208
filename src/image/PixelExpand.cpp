#include "image/PixelExpand.h"

#include <cstdlib>
#include <cstring>
#include <string_view>

namespace kavelin {

namespace {

int simdRank(std::string_view level) {
    constexpr std::string_view kLevels[] = {"scalar", "sse2", "avx2", "avx512"};
    for (int i = 0; i < 4; ++i)
        if (level == kLevels[i])
            return i;
    return -1;
}

using Expander = void (*)(uint8_t*, const uint8_t*, int64_t);

Expander widestExpander() {
    if (avx512ExpandSupported() && simdLevelAllowed("avx512"))
        return expand24Avx512;
    if (__builtin_cpu_supports("avx2") && simdLevelAllowed("avx2"))
        return expand24Avx2;
    return expand24Scalar;
}

} // namespace

bool simdLevelAllowed(const char* level) {
    static const int limit = [] {
        const char* value = std::getenv("KAVELIN_SIMD");
        const int rank = value == nullptr ? -1 : simdRank(value);
        return rank < 0 ? simdRank("avx512") : rank;
    }();
    const int rank = simdRank(level);
    return rank >= 0 && rank <= limit;
}

bool avx512ExpandSupported() {
    return __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi");
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
