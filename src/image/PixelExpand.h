#pragma once

#include <cstdint>

namespace kavelin {

// 24-bit pixels (blue, green, red) to 32-bit ones with alpha 255, `count` pixels.
void expand24(uint8_t* dst, const uint8_t* src, int64_t count);
// The same with AVX2; only after a processor check (expand24 makes it).
void expand24Avx2(uint8_t* dst, const uint8_t* src, int64_t count);

} // namespace kavelin
