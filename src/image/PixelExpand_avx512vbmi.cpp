#include "image/PixelExpand.h"

#include <algorithm>
#include <immintrin.h>

namespace kavelin {

namespace {

// Byte 4k + j of 64 output bytes takes source byte 3k + j (j < 3); byte 4k + 3 keeps alpha.
constexpr __mmask64 kColour = 0x7777777777777777;

struct SourceBytes {
    alignas(64) uint8_t at[64];
};

constexpr SourceBytes kFrom = [] {
    SourceBytes from{};
    for (int k = 0; k < 16; ++k)
        for (int j = 0; j < 3; ++j)
            from.at[4 * k + j] = static_cast<uint8_t>(3 * k + j);
    return from;
}();

} // namespace

void expand24Avx512(uint8_t* dst, const uint8_t* src, int64_t count) {
    const __m512i from = _mm512_load_si512(kFrom.at);
    const __m512i alpha = _mm512_set1_epi32(static_cast<int>(0xFF000000u));
    // Fewer than 16 pixels through masks: masked-off bytes are neither read nor written.
    auto some = [&](int64_t i, int64_t n) {
        const __m512i in = _mm512_maskz_loadu_epi8((uint64_t{1} << (3 * n)) - 1, src + 3 * i);
        _mm512_mask_storeu_epi8(dst + 4 * i, (uint64_t{1} << (4 * n)) - 1,
                                _mm512_mask_permutexvar_epi8(alpha, kColour, from, in));
    };
    int64_t i = 0;
    // Pixels up to a cache line first, so that no whole store straddles two lines.
    const auto misaligned = static_cast<int64_t>(reinterpret_cast<uintptr_t>(dst) & 63);
    if (misaligned != 0 && misaligned % 4 == 0 && count > 0) {
        i = std::min(count, (64 - misaligned) / 4);
        some(0, i);
    }
    for (; i + 16 <= count; i += 16) {
        const __m512i in = _mm512_maskz_loadu_epi8(0xFFFFFFFFFFFF, src + 3 * i);
        _mm512_storeu_si512(dst + 4 * i, _mm512_mask_permutexvar_epi8(alpha, kColour, from, in));
    }
    if (i < count)
        some(i, count - i);
}

} // namespace kavelin
