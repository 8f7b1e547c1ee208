#include "text/DropShadowEffect.h"

#include "image/PixelRoutines.h"
#include "image/SaturatingMath.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>

namespace kavelin {

namespace {

// Alpha bytes of text row ty, columns [from - 1, from + count + 1), 0 outside the text.
void alphaRow(const uint8_t* text, int64_t w, int64_t h, int64_t ty, int64_t from, int64_t count,
              uint8_t* out) {
    std::memset(out, 0, static_cast<size_t>(count + 2));
    if (ty < 0 || ty >= h)
        return;
    const int64_t x0 = std::max<int64_t>(from - 1, 0);
    const int64_t x1 = std::min<int64_t>(from + count + 1, w);
    const uint8_t* row = text + ty * w * 4;
    for (int64_t tx = x0; tx < x1; ++tx)
        out[tx - from + 1] = row[tx * 4 + 3];
}

} // namespace

void DropShadowEffect::offset(int32_t angle, int32_t distance, int32_t& dx, int32_t& dy) {
    const double theta = angle * 3.14159265 * (1.0 / 180.0);
    dx = truncateToInt32(distance * std::cos(theta));
    dy = truncateToInt32(distance * std::sin(theta));
}

int32_t DropShadowEffect::radius() const {
    return mode_ >= 0 && mode_ <= 2 ? (mode_ + 1) / 2 : 0;
}

int64_t DropShadowEffect::reach() const {
    int32_t dx = 0, dy = 0;
    offset(angle_, distance_, dx, dy);
    return std::max(std::abs(int64_t{dx}), std::abs(int64_t{dy})) + radius();
}

bool DropShadowEffect::applyRows(uint8_t* destination, int32_t destinationWidth,
                                 int32_t destinationHeight, int32_t x, int32_t y, uint8_t* text,
                                 int32_t textWidth, int32_t textHeight, const LineInk& ink,
                                 int32_t firstRow, int32_t endRow) {
    if (destination == nullptr || text == nullptr)
        return false;
    if (textWidth < 0 || textHeight < 0)
        return false;
    // Other modes write no shadow pixel, so there is nothing to blend.
    if (mode_ < 0 || mode_ > 2)
        return true;
    // The shadow is the line's size with a ring of r transparent pixels (the soft modes read
    // one pixel beyond the text), offset and blended whole. Only the rows of it that land in
    // the destination are made, one at a time, and each is blended as that row of the whole
    // shadow would be: same start, same length.
    const int32_t r = radius();
    const int64_t w = textWidth, h = textHeight;
    int32_t dx = 0, dy = 0;
    offset(angle_, distance_, dx, dy);
    const ClippedRect clip = clipRect(
        satSub(int64_t{x} + dx, r), satSub(int64_t{y} + dy, r), static_cast<int32_t>(w + 2 * r),
        static_cast<int32_t>(h + 2 * r), destinationWidth, destinationHeight);
    if (clip.w <= 0 || clip.h <= 0)
        return true;
    const auto rowFrom =
        static_cast<int32_t>(std::clamp<int64_t>(int64_t{firstRow} - clip.y, 0, clip.h));
    const auto rowTo =
        static_cast<int32_t>(std::clamp<int64_t>(int64_t{endRow} - clip.y, rowFrom, clip.h));
    if (rowFrom >= rowTo)
        return true;
    const auto count = static_cast<size_t>(clip.w);
    try {
        row_.resize(count);
        if (r > 0)
            alpha_.resize(3 * (count + 2));
    } catch (const std::bad_alloc&) {
        return false;
    }
    const uint32_t colour = uint32_t{blue_} | uint32_t{green_} << 8 | uint32_t{red_} << 16;
    // Shadow column i lies over text column i + from; columns outside [x0, x1) are the ring
    // or beyond the text.
    const int64_t from = int64_t{clip.srcX} - r;
    const int64_t x0 = std::clamp<int64_t>(from, 0, w);
    const int64_t x1 = std::clamp<int64_t>(from + clip.w, x0, w);
    uint32_t* out = row_.data();
    uint8_t* above = alpha_.data();
    uint8_t* middle = above + count + 2;
    uint8_t* below = middle + count + 2;
    for (int32_t row = rowFrom; row < rowTo; ++row) {
        const int64_t ty = int64_t{clip.srcY} + row - r;
        // A row of the ring, or above or below the text, is transparent: blending it changes
        // nothing.
        if (ty < 0 || ty >= h || x0 == x1)
            continue;
        // Only the stretches of the row that can hold alpha are made and blended.
        ink.forEachStretch(ty, from, clip.w, r, [&](int32_t begin, int32_t end) {
            const int64_t lo = std::clamp<int64_t>(x0 - from, begin, end);
            const int64_t hi = std::clamp<int64_t>(x1 - from, lo, end);
            std::fill(out + begin, out + lo, 0u);
            std::fill(out + hi, out + end, 0u);
            if (mode_ == 0) {
                // A pixel without alpha blends to nothing whatever its colour, so the colour
                // goes onto every pixel.
                const uint8_t* src = text + (ty * w + lo + from) * 4;
                for (int64_t i = 0; i < hi - lo; ++i) {
                    uint32_t v;
                    std::memcpy(&v, src + i * 4, 4);
                    out[lo + i] = colour | (v & 0xFF000000u);
                }
            } else {
                alphaRow(text, w, h, ty - 1, lo + from, hi - lo, above);
                alphaRow(text, w, h, ty, lo + from, hi - lo, middle);
                alphaRow(text, w, h, ty + 1, lo + from, hi - lo, below);
                for (int64_t i = 0; i < hi - lo; ++i) {
                    const int centre = 4 * middle[i + 1];
                    const int sides = above[i + 1] + below[i + 1] + middle[i] + middle[i + 2];
                    const int a = mode_ == 1 ? (centre + sides) / 8
                                             : (centre + 2 * sides + above[i] + above[i + 2] +
                                                below[i] + below[i + 2]) /
                                                   16;
                    out[lo + i] = colour | static_cast<uint32_t>(a) << 24;
                }
            }
            blendImage(destination, clip.x + begin, clip.y + row, destinationWidth,
                       reinterpret_cast<const uint8_t*>(out), begin, 0, clip.w, end - begin, 1,
                       opacity_);
        });
    }
    return true;
}

} // namespace kavelin
