// The reference kernels: plain integer arithmetic, one pixel at a time.

#include "image/PixelArithmetic.h"
#include "image/PixelKernels.h"

namespace kavelin {

namespace {

constexpr uint16_t reciprocalOf(int x) {
    return x == 0 ? 65535 : static_cast<uint16_t>(65535 / x);
}

template <bool TransparentRule>
void blendRowScalar(uint8_t* dst, const uint8_t* src, int32_t count, int32_t opacity) {
    if (count <= 0)
        return;
    const uint32_t op = groupOpacity(opacity);
    const int32_t groups = count / 4;
    for (int32_t g = 0; g < groups; ++g)
        blendGroup<TransparentRule>(dst + 16 * g, src + 16 * g, op);
    blendTail(dst + 16 * groups, src + 16 * groups, count % 4, opacity);
}

void blendCappedRowScalar(uint8_t* dst, const uint8_t* src, int32_t count, uint8_t cap) {
    cappedTail(dst, src, count, cap);
}

void blendOpaqueRowScalar(uint8_t* dst, const uint8_t* src, int32_t count) {
    if (count <= 0)
        return;
    const int32_t groups = count / 4;
    for (int32_t g = 0; g < groups; ++g)
        opaqueGroup(dst + 16 * g, src + 16 * g);
    opaqueTail(dst + 16 * groups, src + 16 * groups, count % 4);
}

} // namespace

const uint16_t kReciprocal[256] = {
#define KAVELIN_Q4(n) reciprocalOf(n), reciprocalOf(n + 1), reciprocalOf(n + 2), reciprocalOf(n + 3)
#define KAVELIN_Q16(n) KAVELIN_Q4(n), KAVELIN_Q4(n + 4), KAVELIN_Q4(n + 8), KAVELIN_Q4(n + 12)
    KAVELIN_Q16(0),   KAVELIN_Q16(16),  KAVELIN_Q16(32),  KAVELIN_Q16(48),
    KAVELIN_Q16(64),  KAVELIN_Q16(80),  KAVELIN_Q16(96),  KAVELIN_Q16(112),
    KAVELIN_Q16(128), KAVELIN_Q16(144), KAVELIN_Q16(160), KAVELIN_Q16(176),
    KAVELIN_Q16(192), KAVELIN_Q16(208), KAVELIN_Q16(224), KAVELIN_Q16(240),
#undef KAVELIN_Q16
#undef KAVELIN_Q4
};

const PixelKernels& scalarKernels() {
    static const PixelKernels kernels{"scalar", blendRowScalar<true>, blendRowScalar<false>,
                                      blendCappedRowScalar, blendOpaqueRowScalar};
    return kernels;
}

} // namespace kavelin
