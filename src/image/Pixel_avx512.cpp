// AVX-512 kernels: four groups of four pixels per 512-bit register; the last groups of a row and
// its single-form pixels go under a mask. Compiled with -mavx512f -mavx512bw -mavx512vl and
// only reached after the processor check in PixelDispatch.cpp.

#include "image/PixelArithmetic.h"
#include "image/PixelKernels.h"

// GCC 12 takes the AVX-512 intrinsics' deliberately undefined registers for uninitialised
// variables; the exception covers the header's own lines only (clang has no such warning).
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

namespace kavelin {

namespace {

using Mask = __mmask16;
constexpr Mask kAllPixels = 0xFFFF;

// The first n (0..16) pixels of a register.
inline Mask firstPixels(int32_t n) {
    return static_cast<Mask>((1u << n) - 1);
}

// Each lane: the OR of the four lanes of its group (a 128-bit quarter). Group tests stay in
// vector registers; moving masks through general registers costs more than these four steps.
inline __m512i groupOr(__m512i v) {
    const __m512i pairs = _mm512_or_si512(v, _mm512_shuffle_epi32(v, _MM_PERM_BADC));
    return _mm512_or_si512(pairs, _mm512_shuffle_epi32(pairs, _MM_PERM_CDAB));
}

// Whole registers use plain moves; the last one of a row touches only its own pixels.
template <bool Whole>
inline __m512i loadPixels(const uint8_t* p, Mask k) {
    if constexpr (Whole)
        return _mm512_loadu_si512(p);
    else
        return _mm512_maskz_loadu_epi32(k, p);
}

inline __m512i lanes(uint32_t v) {
    return _mm512_set1_epi32(static_cast<int>(v));
}

// Each pixel's alpha byte in both 16-bit halves of its lane: the layout of the multipliers
// below, where blue and red (the even bytes) share a lane and green (odd) sits in the low half.
inline __m512i alphaTwice(__m512i v) {
    return _mm512_shuffle_epi8(
        v, _mm512_set4_epi32(static_cast<int>(0x800F800Fu), static_cast<int>(0x800B800Bu),
                             static_cast<int>(0x80078007u), static_cast<int>(0x80038003u)));
}

// 16-bit halves: the low half of each 32-bit lane.
constexpr __mmask32 kLowHalves = 0x55555555u;

// The numerators sc * a + dc * dd (each below 65536) in 16-bit halves: blue and red in `even`,
// green in the low half of `odd`. a2 and dd2 hold a and dd twice. The high halves of `odd`
// hold the alpha byte's products, which the caller drops.
struct Numerators {
    __m512i even, odd;
};
inline Numerators numerators(__m512i s, __m512i d, __m512i a2, __m512i dd2) {
    const __m512i evenBytes = lanes(0x00FF00FF);
    return {_mm512_add_epi16(_mm512_mullo_epi16(_mm512_and_si512(s, evenBytes), a2),
                             _mm512_mullo_epi16(_mm512_and_si512(d, evenBytes), dd2)),
            _mm512_add_epi16(_mm512_mullo_epi16(_mm512_srli_epi16(s, 8), a2),
                             _mm512_mullo_epi16(_mm512_srli_epi16(d, 8), dd2))};
}

// The low 16 bits of each lane repeated in its high half.
inline __m512i lowHalfTwice(__m512i v) {
    return _mm512_shuffle_epi8(v,
                               _mm512_set4_epi32(0x0D0C0D0C, 0x09080908, 0x05040504, 0x01000100));
}

// dd = ((255 - a) * da) >> 8, twice per lane, as both forms compute it.
inline __m512i destinationShare(__m512i d, __m512i a2) {
    return _mm512_srli_epi16(
        _mm512_mullo_epi16(alphaTwice(d), _mm512_sub_epi16(_mm512_set1_epi16(255), a2)), 8);
}

// The four-pixel form on 16 pixels: colours ((sc * a + dc * dd) * Q[t]) >> 16, alpha t.
inline __m512i mixGroups(__m512i s, __m512i d, __m512i a2) {
    const __m512i dd2 = destinationShare(d, a2);
    const __m512i t2 = _mm512_add_epi16(a2, dd2);
    // floor(65535 / t), Q[0] = 65535: see reciprocal4 for why float division is exact here.
    const __m512 tf = _mm512_cvtepi32_ps(_mm512_max_epi32(_mm512_srli_epi32(t2, 16), lanes(1)));
    const __m512i q2 =
        lowHalfTwice(_mm512_cvttps_epi32(_mm512_div_ps(_mm512_set1_ps(65535.0f), tf)));
    const Numerators n = numerators(s, d, a2, dd2);
    const __m512i even = _mm512_mulhi_epu16(n.even, q2);
    const __m512i green = _mm512_maskz_slli_epi16(kLowHalves, _mm512_mulhi_epu16(n.odd, q2), 8);
    // Red is already in place in `even`.
    return _mm512_ternarylogic_epi32(even, green, _mm512_slli_epi32(t2, 24), 0xFE);
}

// floor(num / t) for lanes with num <= 255 * t, given r = 1 / t rounded. num * r is within 2^-15
// of the quotient, whose fraction is 0 or between 1/t and 1 - 1/t (t <= 255), so lifting it by
// 2^-9 before truncating gives the exact integer with one division per pixel, not per colour.
inline __m512i divideBy(__m512i num, __m512 r) {
    return _mm512_cvttps_epi32(
        _mm512_fmadd_ps(_mm512_cvtepi32_ps(num), r, _mm512_set1_ps(1.0f / 512)));
}

// The single form on 16 pixels: colours (sc * a + dc * dd) / t, alpha t capped. a2 holds each
// pixel's share twice (the opacity's part of its alpha, or the alpha itself when capped).
// Pixels with a = 0 keep their destination; the caller leaves them out of the store.
inline __m512i mixSingles(__m512i s, __m512i d, __m512i a2, __m512i cap) {
    const __m512i dd2 = destinationShare(d, a2);
    const __m512i t = _mm512_srli_epi32(_mm512_add_epi16(a2, dd2), 16);
    const __m512 r =
        _mm512_div_ps(_mm512_set1_ps(1.0f), _mm512_cvtepi32_ps(_mm512_max_epi32(t, lanes(1))));
    const Numerators n = numerators(s, d, a2, dd2);
    const __m512i blue = divideBy(_mm512_and_si512(n.even, lanes(0xFFFF)), r);
    const __m512i green = divideBy(_mm512_maskz_mov_epi16(kLowHalves, n.odd), r);
    const __m512i red = divideBy(_mm512_srli_epi32(n.even, 16), r);
    const __m512i colours = _mm512_ternarylogic_epi32(blue, _mm512_slli_epi32(green, 8),
                                                      _mm512_slli_epi32(red, 16), 0xFE);
    return _mm512_or_si512(colours, _mm512_slli_epi32(_mm512_min_epi32(t, cap), 24));
}

// The four-pixel form on the groups of kIn (whole groups only). Groups whose four a are 0 keep
// their bytes; with the rule, groups over four transparent destination pixels take the source
// colours with alpha a.
template <bool TransparentRule, bool Whole>
inline void blendGroups(uint8_t* dst, const uint8_t* src, __m512i op2, Mask kIn) {
    const __m512i s = loadPixels<Whole>(src, kIn);
    const __m512i a2 = _mm512_srli_epi16(_mm512_mullo_epi16(alphaTwice(s), op2), 8);
    // Lanes past kIn were loaded as 0: their a is 0.
    if (_mm512_test_epi32_mask(a2, a2) == 0)
        return;
    const __m512i d = loadPixels<Whole>(dst, kIn);
    // Per group: any a (low byte), any destination alpha (high byte).
    const __m512i alpha = lanes(0xFF000000u);
    const __m512i any = groupOr(_mm512_ternarylogic_epi32(a2, d, alpha, 0xF8)); // a | (d & alpha)
    const Mask kWrite = _mm512_mask_test_epi32_mask(kIn, any, lanes(0xFF));
    __m512i out = mixGroups(s, d, a2);
    if (TransparentRule) {
        // There dd = 0 and so t = a already: only the colours change.
        const Mask kClear = _mm512_testn_epi32_mask(any, alpha);
        out = _mm512_mask_ternarylogic_epi32(out, kClear, s, lanes(0x00FFFFFF), 0xD8);
    }
    if constexpr (Whole)
        _mm512_storeu_si512(dst, _mm512_mask_mov_epi32(d, kWrite, out));
    else
        _mm512_mask_storeu_epi32(dst, kWrite, out);
}

// The last one to three pixels of a blended row, in the single form at the opacity's low byte.
inline void blendSingles(uint8_t* dst, const uint8_t* src, Mask kIn, int32_t opacity) {
    const __m512i s = _mm512_maskz_loadu_epi32(kIn, src);
    const __m512i o = _mm512_set1_epi16(static_cast<short>(opacity & 0xFF));
    const __m512i a2 = _mm512_srli_epi16(_mm512_mullo_epi16(alphaTwice(s), o), 8);
    const Mask kWrite = _mm512_mask_test_epi32_mask(kIn, a2, a2);
    if (kWrite == 0)
        return;
    const __m512i d = _mm512_maskz_loadu_epi32(kWrite, dst);
    _mm512_mask_storeu_epi32(dst, kWrite, mixSingles(s, d, a2, lanes(255)));
}

template <bool TransparentRule>
void blendRowAvx512(uint8_t* dst, const uint8_t* src, int32_t count, int32_t opacity) {
    if (count <= 0)
        return;
    const __m512i op2 = _mm512_set1_epi16(static_cast<short>(groupOpacity(opacity)));
    const int32_t grouped = count & ~3;
    int32_t i = 0;
    for (; i + 16 <= grouped; i += 16)
        blendGroups<TransparentRule, true>(dst + 4 * i, src + 4 * i, op2, kAllPixels);
    if (i < grouped)
        blendGroups<TransparentRule, false>(dst + 4 * i, src + 4 * i, op2,
                                            firstPixels(grouped - i));
    if (grouped < count)
        blendSingles(dst + 4 * grouped, src + 4 * grouped, firstPixels(count - grouped), opacity);
}

template <bool Whole>
inline void cappedPixels(uint8_t* dst, const uint8_t* src, __m512i cap, Mask kIn) {
    const __m512i s = loadPixels<Whole>(src, kIn);
    const __m512i a2 = alphaTwice(s);
    const Mask kWrite = _mm512_mask_test_epi32_mask(kIn, a2, a2);
    if (kWrite == 0)
        return;
    const __m512i d = loadPixels<Whole>(dst, kIn);
    const __m512i out = mixSingles(s, d, a2, cap);
    if constexpr (Whole)
        _mm512_storeu_si512(dst, _mm512_mask_mov_epi32(d, kWrite, out));
    else
        _mm512_mask_storeu_epi32(dst, kWrite, out);
}

void blendCappedRowAvx512(uint8_t* dst, const uint8_t* src, int32_t count, uint8_t cap) {
    if (count <= 0)
        return;
    const __m512i cap16 = lanes(cap);
    int32_t i = 0;
    for (; i + 16 <= count; i += 16)
        cappedPixels<true>(dst + 4 * i, src + 4 * i, cap16, kAllPixels);
    if (i < count)
        cappedPixels<false>(dst + 4 * i, src + 4 * i, cap16, firstPixels(count - i));
}

// kIn: the pixels to write; kGroups: those of them in whole groups of four (the rest take the
// single form).
template <bool Whole>
inline void opaquePixels(uint8_t* dst, const uint8_t* src, Mask kIn, Mask kGroups) {
    const __m512i s = loadPixels<Whole>(src, kIn);
    const __m512i d = loadPixels<Whole>(dst, kIn);
    // Groups with a destination alpha other than 0 have their colours lowered by one: the OR of
    // the group's alphas is either 0 or above 0x010101.
    const __m512i any = groupOr(_mm512_and_si512(d, lanes(0xFF000000u)));
    const __m512i one = Whole ? _mm512_min_epu32(any, lanes(0x010101))
                              : _mm512_maskz_min_epu32(kGroups, any, lanes(0x010101));
    const __m512i out = _mm512_ternarylogic_epi32(_mm512_subs_epu8(s, one), lanes(0x00FFFFFF),
                                                  lanes(kOpaqueAlpha), 0xEA);
    if constexpr (Whole)
        _mm512_storeu_si512(dst, out);
    else
        _mm512_mask_storeu_epi32(dst, kIn, out);
}

void blendOpaqueRowAvx512(uint8_t* dst, const uint8_t* src, int32_t count) {
    if (count <= 0)
        return;
    int32_t i = 0;
    for (; i + 16 <= count; i += 16)
        opaquePixels<true>(dst + 4 * i, src + 4 * i, kAllPixels, kAllPixels);
    if (i < count)
        opaquePixels<false>(dst + 4 * i, src + 4 * i, firstPixels(count - i),
                            firstPixels((count - i) & ~3));
}

} // namespace

// Constant-initialised: touching it runs no AVX-512 instruction.
const PixelKernels& avx512KernelsUnchecked() {
    static constexpr PixelKernels kernels{"avx512", blendRowAvx512<true>, blendRowAvx512<false>,
                                          blendCappedRowAvx512, blendOpaqueRowAvx512};
    return kernels;
}

} // namespace kavelin
