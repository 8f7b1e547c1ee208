#include "engine/Compositor.h"

#include "image/PixelRoutines.h"
#include "image/SaturatingMath.h"

#include <algorithm>
#include <cstring>

namespace kavelin {

namespace {

void draw(FrameBuffer& target, const DrawItem& item, bool interlaced, int32_t field) {
    const Image& image = *item.image;
    const int32_t srcPitch = image.width() * 4;
    for (int32_t i = 0; i < item.rectCount; ++i) {
        const DrawRect& r = item.rects[static_cast<size_t>(i)];
        const ClippedRect c = clipRect(satAdd(r.dstX, item.originX), satAdd(r.dstY, item.originY),
                                       r.width, r.height, target.width(), target.height());
        int32_t ey = c.srcY, dy = c.y, height = c.h;
        const int32_t ex = c.srcX, dx = c.x, width = c.w;
        if (width <= 0 || height <= 0)
            continue;
        // Checked first: a rectangle that misses the target may clip to offsets at the end of
        // the 32-bit range (a layer 2^31 rows above it skips that many), one more overflows.
        if (interlaced && (dy & 1) != field) {
            ++dy;
            ++ey;
            if (--height <= 0)
                continue;
        }
        const int32_t sx = r.srcX + ex;
        const int32_t sy = r.srcY + ey;
        if (item.copy)
            (interlaced ? copyRectField : copyRect)(target.pixels(), target.pitch(), dx, dy,
                                                    image.pixels(), srcPitch, sx, sy, width,
                                                    height);
        else
            (interlaced ? blendRectField : blendRect)(target.pixels(), target.pitch(), dx, dy,
                                                      image.pixels(), srcPitch, sx, sy, width,
                                                      height, item.opacity);
    }
}

} // namespace

std::unique_ptr<Compositor> Compositor::create(int32_t width, int32_t height, PixelColour colour) {
    std::unique_ptr<FrameBuffer> background = FrameBuffer::create(width, height);
    if (!background)
        return nullptr;
    const uint32_t packed = uint32_t{colour.alpha} << 24 | uint32_t{colour.red} << 16 |
                            uint32_t{colour.green} << 8 | colour.blue;
    for (int32_t y = 0; y < height; ++y) {
        uint8_t* row = background->pixels() + int64_t{y} * background->pitch();
        for (int32_t x = 0; x < width; ++x)
            std::memcpy(row + x * 4, &packed, 4);
    }
    return std::unique_ptr<Compositor>(new Compositor(std::move(background)));
}

Compositor::Compositor(std::unique_ptr<FrameBuffer> background)
    : background_(std::move(background)) {}

void Compositor::compose(FrameBuffer& target, const DrawList& items, int32_t field) const {
    const bool interlaced = field == 0 || field == 1;
    // The background covers the whole frame; a target of another size takes what overlaps.
    const int32_t width = std::min(target.width(), background_->width());
    const int32_t height = std::min(target.height(), background_->height());
    copyFrame(target, 0, 0, *background_, 0, 0, width, height, interlaced ? field : 2);
    for (const DrawItem& item : items)
        draw(target, item, interlaced, field);
}

} // namespace kavelin
