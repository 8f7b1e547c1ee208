#pragma once

// Scalar pixel arithmetic shared by every kernel set (the SIMD sets use it for row tails).
// Internal linkage on purpose: this header is compiled with different instruction sets.

#include "image/PixelRoutines.h"

#include <cstdint>
#include <cstring>

namespace kavelin {
namespace {

inline uint32_t loadPixel(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

inline void storePixel(uint8_t* p, uint32_t v) {
    std::memcpy(p, &v, 4);
}

// The four-pixel form takes the whole opacity; keep it inside 0..255 so that every
// intermediate stays below 65536 and every table index below 256.
inline uint32_t groupOpacity(int32_t opacity) {
    return opacity < 0 ? 0u : opacity > 255 ? 255u : static_cast<uint32_t>(opacity);
}

// Single form: o is the low byte of the opacity (255 for plain source-alpha compositing).
inline uint32_t blendSingle(uint32_t d, uint32_t s, uint32_t o) {
    const uint32_t sa = s >> 24;
    if (sa == 0)
        return d;
    const uint32_t a = (o * sa) >> 8;
    if (a == 0)
        return d;
    const uint32_t dd = ((255 - a) * (d >> 24)) >> 8;
    if (dd == 0)
        return (s & 0x00FFFFFFu) | (a << 24);
    const uint32_t t = a + dd;
    uint32_t out = t << 24;
    for (int shift = 0; shift < 24; shift += 8) {
        const uint32_t sc = (s >> shift) & 0xFF;
        const uint32_t dc = (d >> shift) & 0xFF;
        out |= ((sc * a + dc * dd) / t) << shift;
    }
    return out;
}

inline uint32_t blendCapped(uint32_t d, uint32_t s, uint32_t cap) {
    const uint32_t sa = s >> 24;
    if (sa == 0)
        return d;
    const uint32_t dd = ((255 - sa) * (d >> 24)) >> 8;
    if (dd == 0)
        return (s & 0x00FFFFFFu) | ((sa < cap ? sa : cap) << 24);
    const uint32_t t = sa + dd;
    uint32_t out = (t < cap ? t : cap) << 24;
    for (int shift = 0; shift < 24; shift += 8) {
        const uint32_t sc = (s >> shift) & 0xFF;
        const uint32_t dc = (d >> shift) & 0xFF;
        out |= ((sc * sa + dc * dd) / t) << shift;
    }
    return out;
}

// Four-pixel form on pixels [0, 4) of dst and src; op already in 0..255.
template <bool TransparentRule>
inline void blendGroup(uint8_t* dst, const uint8_t* src, uint32_t op) {
    uint32_t s[4], d[4], a[4];
    uint32_t anyA = 0, anyDa = 0;
    for (int i = 0; i < 4; ++i) {
        s[i] = loadPixel(src + 4 * i);
        d[i] = loadPixel(dst + 4 * i);
        a[i] = ((s[i] >> 24) * op) >> 8;
        anyA |= a[i];
        anyDa |= d[i] >> 24;
    }
    if (anyA == 0)
        return;
    if (TransparentRule && anyDa == 0) {
        for (int i = 0; i < 4; ++i)
            storePixel(dst + 4 * i, (s[i] & 0x00FFFFFFu) | (a[i] << 24));
        return;
    }
    for (int i = 0; i < 4; ++i) {
        const uint32_t dd = ((d[i] >> 24) * (255 - a[i])) >> 8;
        const uint32_t t = a[i] + dd;
        const uint32_t q = kReciprocal[t];
        uint32_t out = t << 24;
        for (int shift = 0; shift < 24; shift += 8) {
            const uint32_t sc = (s[i] >> shift) & 0xFF;
            const uint32_t dc = (d[i] >> shift) & 0xFF;
            out |= (((sc * a[i] + dc * dd) * q) >> 16) << shift;
        }
        storePixel(dst + 4 * i, out);
    }
}

// blendRow at opacity 255 over an opaque source: a = (255 * 255) >> 8 = 254 and
// dd = (da * 1) >> 8 = 0 for every pixel, so t = 254 and the four-pixel form's colours are
// (sc * 254 * Q[254]) >> 16 = (sc * 65532) >> 16, which is sc - 1 (0 stays 0). A group whose
// four destination alphas are 0 keeps the source colours (the transparent-destination rule),
// as does the single form (dd = 0). Every result has alpha 254.
constexpr uint32_t kOpaqueAlpha = 254u << 24;

// The colour bytes of p, each less one unless 0.
inline uint32_t decrementColours(uint32_t p) {
    const uint32_t c = p & 0x00FFFFFFu;
    const uint32_t nonZero = (((c & 0x7F7F7Fu) + 0x7F7F7Fu) | c) & 0x808080u;
    return c - (nonZero >> 7);
}

inline void opaqueGroup(uint8_t* dst, const uint8_t* src) {
    const uint32_t anyDa =
        (loadPixel(dst) | loadPixel(dst + 4) | loadPixel(dst + 8) | loadPixel(dst + 12)) >> 24;
    for (int i = 0; i < 16; i += 4) {
        const uint32_t s = loadPixel(src + i);
        storePixel(dst + i, (anyDa ? decrementColours(s) : s & 0x00FFFFFFu) | kOpaqueAlpha);
    }
}

inline void opaqueTail(uint8_t* dst, const uint8_t* src, int32_t count) {
    for (int32_t i = 0; i < count; ++i)
        storePixel(dst + 4 * i, (loadPixel(src + 4 * i) & 0x00FFFFFFu) | kOpaqueAlpha);
}

inline void blendTail(uint8_t* dst, const uint8_t* src, int32_t count, int32_t opacity) {
    const uint32_t o = static_cast<uint32_t>(opacity) & 0xFF;
    for (int32_t i = 0; i < count; ++i)
        storePixel(dst + 4 * i, blendSingle(loadPixel(dst + 4 * i), loadPixel(src + 4 * i), o));
}

inline void cappedTail(uint8_t* dst, const uint8_t* src, int32_t count, uint8_t cap) {
    for (int32_t i = 0; i < count; ++i)
        storePixel(dst + 4 * i, blendCapped(loadPixel(dst + 4 * i), loadPixel(src + 4 * i), cap));
}

} // namespace
} // namespace kavelin
