#pragma once

#include <cstdint>

namespace kavelin {

// 24-bit pixels (blue, green, red) to 32-bit ones with alpha 255, `count` pixels, with the widest
// version this processor has and KAVELIN_SIMD allows (chosen once).
void expand24(uint8_t* dst, const uint8_t* src, int64_t count);

// Each version on its own, for tests and benchmarks; the SIMD ones only after a processor check.
// None reads a byte past the end of the source.
void expand24Scalar(uint8_t* dst, const uint8_t* src, int64_t count);
void expand24Avx2(uint8_t* dst, const uint8_t* src, int64_t count);
// AVX-512 BW and VBMI.
void expand24Avx512(uint8_t* dst, const uint8_t* src, int64_t count);
bool avx512ExpandSupported();

} // namespace kavelin
