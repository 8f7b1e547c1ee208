#pragma once

#include <cstdint>

namespace kavelin {

// Coordinates and scroller sums are computed in 64 bits and saturated to the 32-bit range, so
// extreme positions, offsets and speeds stay far off screen instead of overflowing.
inline int32_t saturate(int64_t value) {
    if (value > INT32_MAX)
        return INT32_MAX;
    if (value < INT32_MIN)
        return INT32_MIN;
    return static_cast<int32_t>(value);
}

// Truncation toward zero of a value that may lie outside the 32-bit range.
inline int32_t truncateToInt32(double value) {
    if (!(value > -2147483649.0))
        return INT32_MIN;
    if (value >= 2147483648.0)
        return INT32_MAX;
    return static_cast<int32_t>(value);
}

inline int32_t satAdd(int64_t a, int64_t b) {
    return saturate(a + b);
}
inline int32_t satSub(int64_t a, int64_t b) {
    return saturate(a - b);
}

} // namespace kavelin
