// SSE2 kernels: one group of four pixels per 128-bit register.

#include "image/PixelKernels.h"
#include "image/PixelSse2Group.h"

namespace kavelin {

namespace {

template <bool TransparentRule>
void blendRowSse2(uint8_t* dst, const uint8_t* src, int32_t count, int32_t opacity) {
    if (count <= 0)
        return;
    const __m128i op = _mm_set1_epi32(static_cast<int>(groupOpacity(opacity)));
    const int32_t groups = count / 4;
    for (int32_t g = 0; g < groups; ++g)
        blendGroup4<TransparentRule>(dst + 16 * g, src + 16 * g, op);
    blendTail(dst + 16 * groups, src + 16 * groups, count % 4, opacity);
}

void blendCappedRowSse2(uint8_t* dst, const uint8_t* src, int32_t count, uint8_t cap) {
    if (count <= 0)
        return;
    const __m128i capLanes = _mm_set1_epi32(cap);
    const int32_t groups = count / 4;
    for (int32_t g = 0; g < groups; ++g)
        cappedGroup4(dst + 16 * g, src + 16 * g, capLanes);
    cappedTail(dst + 16 * groups, src + 16 * groups, count % 4, cap);
}

void blendOpaqueRowSse2(uint8_t* dst, const uint8_t* src, int32_t count) {
    if (count <= 0)
        return;
    const int32_t groups = count / 4;
    for (int32_t g = 0; g < groups; ++g) {
        __m128i* d = reinterpret_cast<__m128i*>(dst + 16 * g);
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 16 * g));
        _mm_storeu_si128(d, opaqueGroup4(s, _mm_loadu_si128(d)));
    }
    opaqueTail(dst + 16 * groups, src + 16 * groups, count % 4);
}

} // namespace

const PixelKernels& sse2Kernels() {
    static const PixelKernels kernels{"sse2", blendRowSse2<true>, blendRowSse2<false>,
                                      blendCappedRowSse2, blendOpaqueRowSse2};
    return kernels;
}

} // namespace kavelin
