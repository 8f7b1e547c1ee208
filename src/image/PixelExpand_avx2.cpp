#include "image/PixelExpand.h"

#include <immintrin.h>

namespace kavelin {

void expand24Avx2(uint8_t* dst, const uint8_t* src, int64_t count) {
    // Eight pixels per step: 24 bytes split into two 12-byte halves, one per 128-bit lane.
    const __m256i halves = _mm256_setr_epi32(0, 1, 2, 3, 3, 4, 5, 6);
    const __m256i spread = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1, 0,
                                            1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m256i alpha = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    int64_t i = 0;
    // Each load reads 32 bytes, 8 more than the step uses.
    for (; 3 * i + 32 <= 3 * count; i += 8) {
        const __m256i in = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 3 * i));
        const __m256i px = _mm256_shuffle_epi8(_mm256_permutevar8x32_epi32(in, halves), spread);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 4 * i), _mm256_or_si256(px, alpha));
    }
    expand24Scalar(dst + 4 * i, src + 3 * i, count - i);
}

} // namespace kavelin
