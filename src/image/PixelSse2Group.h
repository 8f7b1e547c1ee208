#pragma once

// Four-pixel blend and capped compositing on one 128-bit register. Internal linkage: this
// header is compiled both for plain SSE2 and, inside the AVX2 kernels, with VEX encoding.

#include "image/PixelArithmetic.h"

#include <emmintrin.h>

namespace kavelin {
namespace {

// floor(65535 / t) for 32-bit lanes holding 0..255 (t = 0 gives Q[0] = 65535). The quotient is
// at least 1/255 away from the next integer, far more than float division's error.
inline __m128i reciprocal4(__m128i t) {
    const __m128i tf = _mm_max_epi16(t, _mm_set1_epi32(1));
    return _mm_cvttps_epi32(_mm_div_ps(_mm_set1_ps(65535.0f), _mm_cvtepi32_ps(tf)));
}

// Each 32-bit lane value (below 65536) repeated in all four 16-bit lanes of its pixel, for the
// unpacked low (pixels 0, 1) and high (pixels 2, 3) halves.
inline void spread4(__m128i v, __m128i& lo, __m128i& hi) {
    const __m128i v2 = _mm_or_si128(v, _mm_slli_epi32(v, 16));
    lo = _mm_unpacklo_epi32(v2, v2);
    hi = _mm_unpackhi_epi32(v2, v2);
}

// Colours ((sc * a + dc * d) * q) >> 16 with alpha t, for four pixels.
inline __m128i mixReciprocal4(__m128i s, __m128i d, __m128i a, __m128i dd, __m128i t) {
    const __m128i zero = _mm_setzero_si128();
    __m128i aLo, aHi, dLo, dHi, qLo, qHi;
    spread4(a, aLo, aHi);
    spread4(dd, dLo, dHi);
    spread4(reciprocal4(t), qLo, qHi);
    const __m128i lo =
        _mm_mulhi_epu16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(s, zero), aLo),
                                      _mm_mullo_epi16(_mm_unpacklo_epi8(d, zero), dLo)),
                        qLo);
    const __m128i hi =
        _mm_mulhi_epu16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(s, zero), aHi),
                                      _mm_mullo_epi16(_mm_unpackhi_epi8(d, zero), dHi)),
                        qHi);
    const __m128i colours = _mm_and_si128(_mm_packus_epi16(lo, hi), _mm_set1_epi32(0x00FFFFFF));
    return _mm_or_si128(colours, _mm_slli_epi32(t, 24));
}

// One group of four; op is the clamped opacity in every 32-bit lane. Leaves dst untouched when
// every a is 0.
template <bool TransparentRule>
inline void blendGroup4(uint8_t* dst, const uint8_t* src, __m128i op) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
    // Products of values below 256 fit the low 16-bit half of each 32-bit lane.
    const __m128i a = _mm_srli_epi32(_mm_mullo_epi16(_mm_srli_epi32(s, 24), op), 8);
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(a, zero)) == 0xFFFF)
        return;
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst));
    const __m128i da = _mm_srli_epi32(d, 24);
    __m128i out;
    if (TransparentRule && _mm_movemask_epi8(_mm_cmpeq_epi32(da, zero)) == 0xFFFF) {
        out = _mm_or_si128(_mm_and_si128(s, _mm_set1_epi32(0x00FFFFFF)), _mm_slli_epi32(a, 24));
    } else {
        const __m128i dd =
            _mm_srli_epi32(_mm_mullo_epi16(da, _mm_sub_epi32(_mm_set1_epi32(255), a)), 8);
        out = mixReciprocal4(s, d, a, dd, _mm_add_epi32(a, dd));
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), out);
}

// blendRow at 255 over an opaque source (see kOpaqueAlpha) for one group of four.
inline __m128i opaqueGroup4(__m128i s, __m128i d) {
    const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    // All ones in every lane when the four destination alphas are 0.
    __m128i clear = _mm_cmpeq_epi32(_mm_and_si128(d, alpha), _mm_setzero_si128());
    clear = _mm_and_si128(clear, _mm_shuffle_epi32(clear, 0x4E));
    clear = _mm_and_si128(clear, _mm_shuffle_epi32(clear, 0xB1));
    const __m128i colours = _mm_subs_epu8(s, _mm_andnot_si128(clear, _mm_set1_epi32(0x010101)));
    return _mm_or_si128(_mm_andnot_si128(alpha, colours),
                        _mm_set1_epi32(static_cast<int>(kOpaqueAlpha)));
}

// (sc * sa + dc * d) / t truncated, for one colour byte at bit `shift` of four pixels. The
// numerator is below 65536 and t at most 255, so float division truncates to the exact
// integer quotient.
inline __m128i divideChannel4(__m128i s, __m128i d, __m128i sa, __m128i dd, __m128 tf, int shift) {
    const __m128i mask = _mm_set1_epi32(0xFF);
    const __m128i sc = _mm_and_si128(_mm_srl_epi32(s, _mm_cvtsi32_si128(shift)), mask);
    const __m128i dc = _mm_and_si128(_mm_srl_epi32(d, _mm_cvtsi32_si128(shift)), mask);
    const __m128i num = _mm_add_epi32(_mm_mullo_epi16(sc, sa), _mm_mullo_epi16(dc, dd));
    const __m128i q = _mm_cvttps_epi32(_mm_div_ps(_mm_cvtepi32_ps(num), tf));
    return _mm_sll_epi32(q, _mm_cvtsi32_si128(shift));
}

// Capped compositing of four pixels; cap in every 32-bit lane.
inline void cappedGroup4(uint8_t* dst, const uint8_t* src, __m128i cap) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
    const __m128i sa = _mm_srli_epi32(s, 24);
    const __m128i saZero = _mm_cmpeq_epi32(sa, zero);
    if (_mm_movemask_epi8(saZero) == 0xFFFF)
        return;
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst));
    const __m128i dd = _mm_srli_epi32(
        _mm_mullo_epi16(_mm_sub_epi32(_mm_set1_epi32(255), sa), _mm_srli_epi32(d, 24)), 8);
    const __m128i t = _mm_add_epi32(sa, dd);
    // Lanes with sa = 0 keep the destination; keep their divisor non-zero all the same.
    const __m128 tf = _mm_cvtepi32_ps(_mm_max_epi16(t, _mm_set1_epi32(1)));
    __m128i out = _mm_slli_epi32(_mm_min_epi16(t, cap), 24);
    out = _mm_or_si128(out, divideChannel4(s, d, sa, dd, tf, 0));
    out = _mm_or_si128(out, divideChannel4(s, d, sa, dd, tf, 8));
    out = _mm_or_si128(out, divideChannel4(s, d, sa, dd, tf, 16));
    out = _mm_or_si128(_mm_and_si128(saZero, d), _mm_andnot_si128(saZero, out));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), out);
}

} // namespace
} // namespace kavelin
