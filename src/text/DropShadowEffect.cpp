#include "text/DropShadowEffect.h"

#include "image/PixelRoutines.h"
#include "image/SaturatingMath.h"

#include <cmath>
#include <cstddef>
#include <memory>
#include <new>

namespace kavelin {

void DropShadowEffect::offset(int32_t angle, int32_t distance, int32_t& dx, int32_t& dy) {
    const double theta = angle * 3.14159265 * (1.0 / 180.0);
    dx = truncateToInt32(distance * std::cos(theta));
    dy = truncateToInt32(distance * std::sin(theta));
}

bool DropShadowEffect::apply(uint8_t* destination, int32_t destinationWidth,
                             int32_t destinationHeight, int32_t x, int32_t y, uint8_t* text,
                             int32_t textWidth, int32_t textHeight) {
    if (destination == nullptr || text == nullptr)
        return false;
    if (textWidth < 0 || textHeight < 0)
        return false;
    // Other modes write no shadow pixel, so there is nothing to blend (and no buffer sized
    // from an arbitrary mode value to allocate).
    if (mode_ < 0 || mode_ > 2)
        return true;
    const int32_t r = (mode_ + 1) / 2; // the soft modes read one pixel beyond the text
    const int64_t w = textWidth, h = textHeight;
    const int64_t bw = w + 2 * r, bh = h + 2 * r;
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow)
                                          uint8_t[static_cast<size_t>(bw * bh * 4)]());
    if (!buffer)
        return false;

    // Alpha of a text pixel; outside the text it counts as 0.
    auto alpha = [&](int64_t px, int64_t py) -> int {
        if (px < 0 || py < 0 || px >= w || py >= h)
            return 0;
        return text[static_cast<size_t>((py * w + px) * 4 + 3)];
    };
    for (int64_t ty = 0; ty < h; ++ty) {
        for (int64_t tx = 0; tx < w; ++tx) {
            const int a = alpha(tx, ty);
            int out = -1;
            if (mode_ == 0) {
                if (a > 0)
                    out = a;
            } else if (mode_ == 1) {
                out = (4 * a + alpha(tx, ty - 1) + alpha(tx, ty + 1) + alpha(tx - 1, ty) +
                       alpha(tx + 1, ty)) /
                      8;
            } else if (mode_ == 2) {
                out = (4 * a +
                       2 * (alpha(tx, ty - 1) + alpha(tx, ty + 1) + alpha(tx - 1, ty) +
                            alpha(tx + 1, ty)) +
                       alpha(tx - 1, ty - 1) + alpha(tx + 1, ty - 1) + alpha(tx - 1, ty + 1) +
                       alpha(tx + 1, ty + 1)) /
                      16;
            }
            if (out < 0)
                continue;
            uint8_t* p = buffer.get() + static_cast<size_t>(((ty + r) * bw + tx + r) * 4);
            p[0] = blue_;
            p[1] = green_;
            p[2] = red_;
            p[3] = static_cast<uint8_t>(out);
        }
    }

    int32_t dx = 0, dy = 0;
    offset(angle_, distance_, dx, dy);
    const ClippedRect clip =
        clipRect(satSub(int64_t{x} + dx, r), satSub(int64_t{y} + dy, r), static_cast<int32_t>(bw),
                 static_cast<int32_t>(bh), destinationWidth, destinationHeight);
    if (clip.w > 0 && clip.h > 0)
        blendImage(destination, clip.x, clip.y, destinationWidth, buffer.get(), clip.srcX,
                   clip.srcY, static_cast<int32_t>(bw), clip.w, clip.h, opacity_);
    return true;
}

} // namespace kavelin
