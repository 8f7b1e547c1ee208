#include "image/CoveredRow.h"

#include "image/PixelRoutines.h"

#include <algorithm>

namespace kavelin {

namespace {

constexpr int32_t roundDown4(int32_t n) {
    return n & ~3;
}

constexpr int32_t roundUp4(int32_t n) {
    return (n + 3) & ~3;
}

// Pixels [from, to) of the row; `from` is a multiple of four, and so is `to` unless it ends
// the row, so the groups of four stay those of the whole row.
void blendPiece(uint8_t* dst, const uint8_t* src, int32_t from, int32_t to, int32_t opacity) {
    if (to > from)
        blendRow(dst + int64_t{from} * 4, src + int64_t{from} * 4, to - from, opacity);
}

} // namespace

void blendCoveredRow(uint8_t* dst, const uint8_t* src, int32_t count, int32_t opacity,
                     int64_t first, int64_t end, bool opaque) {
    if (count <= 0 || opacity == 0)
        return;
    const auto lo = static_cast<int32_t>(std::clamp<int64_t>(first, 0, count));
    const auto hi = static_cast<int32_t>(std::clamp<int64_t>(end, 0, count));
    // A group of four with no visible pixel leaves the frame alone, and so does a transparent
    // pixel of the single-pixel tail; any other group is blended whole.
    if (lo >= hi)
        return;
    const int32_t groupsEnd = roundDown4(count);
    const int32_t from = roundDown4(lo);
    const int32_t to = hi <= groupsEnd ? roundUp4(hi) : count;
    if (!opaque || opacity != 255) {
        blendPiece(dst, src, from, to, opacity);
        return;
    }
    // The groups wholly inside the opaque run.
    const int32_t runFrom = roundUp4(lo);
    const int32_t runTo = hi == count ? to : roundDown4(hi);
    if (runTo <= runFrom) {
        blendPiece(dst, src, from, to, opacity);
        return;
    }
    blendPiece(dst, src, from, runFrom, opacity);
    blendOpaqueRow(dst + int64_t{runFrom} * 4, src + int64_t{runFrom} * 4, runTo - runFrom);
    blendPiece(dst, src, runTo, to, opacity);
}

} // namespace kavelin
