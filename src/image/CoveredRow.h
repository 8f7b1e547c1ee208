#pragma once

#include <cstdint>

namespace kavelin {

// blendRow's bytes, passing over the pixels that cannot change anything: `first` and `end`
// bound the pixels of src with alpha above 0, counted from src (they may lie outside
// [0, count)); `opaque` says that all of those have alpha 255. Groups of four are kept where
// blendRow has them, from the start of the row, so the result is the same to the byte.
// Opacity 0 to 255.
void blendCoveredRow(uint8_t* dst, const uint8_t* src, int32_t count, int32_t opacity,
                     int64_t first, int64_t end, bool opaque);

} // namespace kavelin
