// AVX2 kernels: two groups of four pixels per 256-bit register. Compiled with -mavx2 and only
// reached after the processor check in PixelDispatch.cpp.

#include "image/PixelKernels.h"
#include "image/PixelSse2Group.h"

#include <immintrin.h>

namespace kavelin {

namespace {

// A 4-bit group (one nibble of a movemask_ps result) in which every pixel meets the test.
inline bool anyWholeGroup(int mask) {
    return (mask & 0x0F) == 0x0F || (mask & 0xF0) == 0xF0;
}

// Low 16 bits of each 32-bit lane repeated over the four 16-bit lanes of its pixel, in the
// order of unpacklo_epi8 (pixels 0, 1 | 4, 5) and unpackhi_epi8 (pixels 2, 3 | 6, 7).
inline void spread8(__m256i v, __m256i& lo, __m256i& hi) {
    const __m256i toLo = _mm256_setr_epi8(0, 1, 0, 1, 0, 1, 0, 1, 4, 5, 4, 5, 4, 5, 4, 5, 0, 1, 0,
                                          1, 0, 1, 0, 1, 4, 5, 4, 5, 4, 5, 4, 5);
    const __m256i toHi = _mm256_setr_epi8(8, 9, 8, 9, 8, 9, 8, 9, 12, 13, 12, 13, 12, 13, 12, 13, 8,
                                          9, 8, 9, 8, 9, 8, 9, 12, 13, 12, 13, 12, 13, 12, 13);
    lo = _mm256_shuffle_epi8(v, toLo);
    hi = _mm256_shuffle_epi8(v, toHi);
}

// Two groups of four. The common case (no group entirely transparent, and with the rule no
// group over an entirely transparent destination) is computed here for all eight pixels; the
// rare groups that need a rule go through the four-pixel code, which gives the same bytes.
template <bool TransparentRule>
inline void blendGroups8(uint8_t* dst, const uint8_t* src, __m256i op) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src));
    const __m256i a = _mm256_srli_epi32(_mm256_mullo_epi16(_mm256_srli_epi32(s, 24), op), 8);
    const int aZero = _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(a, zero)));
    if (aZero == 0xFF)
        return;
    const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst));
    const __m256i da = _mm256_srli_epi32(d, 24);
    bool special = anyWholeGroup(aZero);
    if (TransparentRule)
        special =
            special ||
            anyWholeGroup(_mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(da, zero))));
    if (special) {
        const __m128i op4 = _mm256_castsi256_si128(op);
        blendGroup4<TransparentRule>(dst, src, op4);
        blendGroup4<TransparentRule>(dst + 16, src + 16, op4);
        return;
    }
    const __m256i dd =
        _mm256_srli_epi32(_mm256_mullo_epi16(da, _mm256_sub_epi32(_mm256_set1_epi32(255), a)), 8);
    const __m256i t = _mm256_add_epi32(a, dd);

    const __m256i tf = _mm256_max_epi16(t, _mm256_set1_epi32(1));
    const __m256i q =
        _mm256_cvttps_epi32(_mm256_div_ps(_mm256_set1_ps(65535.0f), _mm256_cvtepi32_ps(tf)));
    __m256i aLo, aHi, dLo, dHi, qLo, qHi;
    spread8(a, aLo, aHi);
    spread8(dd, dLo, dHi);
    spread8(q, qLo, qHi);
    const __m256i lo =
        _mm256_mulhi_epu16(_mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(s, zero), aLo),
                                            _mm256_mullo_epi16(_mm256_unpacklo_epi8(d, zero), dLo)),
                           qLo);
    const __m256i hi =
        _mm256_mulhi_epu16(_mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(s, zero), aHi),
                                            _mm256_mullo_epi16(_mm256_unpackhi_epi8(d, zero), dHi)),
                           qHi);
    const __m256i out = _mm256_or_si256(
        _mm256_and_si256(_mm256_packus_epi16(lo, hi), _mm256_set1_epi32(0x00FFFFFF)),
        _mm256_slli_epi32(t, 24));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst), out);
}

template <bool TransparentRule>
void blendRowAvx2(uint8_t* dst, const uint8_t* src, int32_t count, int32_t opacity) {
    if (count <= 0)
        return;
    const int op = static_cast<int>(groupOpacity(opacity));
    const __m256i op8 = _mm256_set1_epi32(op);
    int32_t i = 0;
    for (; i + 8 <= count; i += 8)
        blendGroups8<TransparentRule>(dst + 4 * i, src + 4 * i, op8);
    if (i + 4 <= count) {
        blendGroup4<TransparentRule>(dst + 4 * i, src + 4 * i, _mm_set1_epi32(op));
        i += 4;
    }
    blendTail(dst + 4 * i, src + 4 * i, count - i, opacity);
}

inline __m256i divideChannel8(__m256i s, __m256i d, __m256i sa, __m256i dd, __m256 tf, int shift) {
    const __m256i mask = _mm256_set1_epi32(0xFF);
    const __m128i n = _mm_cvtsi32_si128(shift);
    const __m256i sc = _mm256_and_si256(_mm256_srl_epi32(s, n), mask);
    const __m256i dc = _mm256_and_si256(_mm256_srl_epi32(d, n), mask);
    const __m256i num = _mm256_add_epi32(_mm256_mullo_epi16(sc, sa), _mm256_mullo_epi16(dc, dd));
    const __m256i q = _mm256_cvttps_epi32(_mm256_div_ps(_mm256_cvtepi32_ps(num), tf));
    return _mm256_sll_epi32(q, n);
}

void blendCappedRowAvx2(uint8_t* dst, const uint8_t* src, int32_t count, uint8_t cap) {
    if (count <= 0)
        return;
    const __m256i zero = _mm256_setzero_si256();
    const __m256i cap8 = _mm256_set1_epi32(cap);
    int32_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 4 * i));
        const __m256i sa = _mm256_srli_epi32(s, 24);
        const __m256i saZero = _mm256_cmpeq_epi32(sa, zero);
        if (_mm256_movemask_epi8(saZero) == -1)
            continue;
        const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst + 4 * i));
        const __m256i dd =
            _mm256_srli_epi32(_mm256_mullo_epi16(_mm256_sub_epi32(_mm256_set1_epi32(255), sa),
                                                 _mm256_srli_epi32(d, 24)),
                              8);
        const __m256i t = _mm256_add_epi32(sa, dd);
        const __m256 tf = _mm256_cvtepi32_ps(_mm256_max_epi16(t, _mm256_set1_epi32(1)));
        __m256i out = _mm256_slli_epi32(_mm256_min_epi16(t, cap8), 24);
        out = _mm256_or_si256(out, divideChannel8(s, d, sa, dd, tf, 0));
        out = _mm256_or_si256(out, divideChannel8(s, d, sa, dd, tf, 8));
        out = _mm256_or_si256(out, divideChannel8(s, d, sa, dd, tf, 16));
        out = _mm256_blendv_epi8(out, d, saZero);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 4 * i), out);
    }
    if (i + 4 <= count) {
        cappedGroup4(dst + 4 * i, src + 4 * i, _mm_set1_epi32(cap));
        i += 4;
    }
    cappedTail(dst + 4 * i, src + 4 * i, count - i, cap);
}

// Two groups of four at once; the shuffles stay inside each group's 128-bit half.
inline __m256i opaqueGroups8(__m256i s, __m256i d) {
    const __m256i alpha = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    __m256i clear = _mm256_cmpeq_epi32(_mm256_and_si256(d, alpha), _mm256_setzero_si256());
    clear = _mm256_and_si256(clear, _mm256_shuffle_epi32(clear, 0x4E));
    clear = _mm256_and_si256(clear, _mm256_shuffle_epi32(clear, 0xB1));
    const __m256i colours =
        _mm256_subs_epu8(s, _mm256_andnot_si256(clear, _mm256_set1_epi32(0x010101)));
    return _mm256_or_si256(_mm256_andnot_si256(alpha, colours),
                           _mm256_set1_epi32(static_cast<int>(kOpaqueAlpha)));
}

void blendOpaqueRowAvx2(uint8_t* dst, const uint8_t* src, int32_t count) {
    if (count <= 0)
        return;
    int32_t i = 0;
    for (; i + 8 <= count; i += 8) {
        __m256i* d = reinterpret_cast<__m256i*>(dst + 4 * i);
        const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 4 * i));
        _mm256_storeu_si256(d, opaqueGroups8(s, _mm256_loadu_si256(d)));
    }
    if (i + 4 <= count) {
        __m128i* d = reinterpret_cast<__m128i*>(dst + 4 * i);
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4 * i));
        _mm_storeu_si128(d, opaqueGroup4(s, _mm_loadu_si128(d)));
        i += 4;
    }
    opaqueTail(dst + 4 * i, src + 4 * i, count - i);
}

} // namespace

// Constant-initialised: touching it runs no AVX2 instruction.
const PixelKernels& avx2KernelsUnchecked() {
    static constexpr PixelKernels kernels{"avx2", blendRowAvx2<true>, blendRowAvx2<false>,
                                          blendCappedRowAvx2, blendOpaqueRowAvx2};
    return kernels;
}

} // namespace kavelin
