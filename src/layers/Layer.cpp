#include "layers/Layer.h"

#include "image/FrameBuffer.h"
#include "image/Image.h"
#include "image/PixelRoutines.h"
#include "image/SaturatingMath.h"

#include <algorithm>

namespace kavelin {

Layer::Layer() {
    reset();
}

Layer::~Layer() = default;

void Layer::reset() {
    for (auto& frame : frames_)
        frame.reset();
    image_ = nullptr;
    visible_ = false;
    blendMode_ = 1;
    opacity_ = 255;
    playing_ = false;
    frameCount_ = 1;
    frameIndex_ = 0;
    playDirection_ = 1;
    endFrame_ = -1;
    rangePlay_ = false;
    posX_ = posY_ = 0;
    windowWidth_ = windowHeight_ = 0;
    offsetX_ = offsetY_ = 0;
    scrolling_ = false;
    fading_ = false;
}

bool Layer::clearImage() {
    if (image_ == nullptr)
        return false;
    image_->allocate(0, 0);
    return true;
}

void Layer::update() {
    if (!visible_ || image_ == nullptr)
        return;
    sequenceStep();
    scrollerStep();
    fadeStep();
    computeDrawRects();
}

void Layer::computeDrawRects() {
    const int32_t w = image_->width();
    const int32_t h = image_->height();
    auto place = [&](DrawRect& r, int32_t x, int32_t y) {
        const ClippedRect c = clipRect(x, y, w, h, windowWidth_, windowHeight_);
        r = {c.srcX, c.srcY, c.x, c.y, c.w, c.h};
    };
    place(rects_[0], offsetX_, offsetY_);
    rectCount_ = 1;
    if (scrolling_ && loopMode_ == 1) {
        int32_t x = offsetX_;
        int32_t y = offsetY_;
        switch (direction_) {
        case 0:
            x = satAdd(offsetX_, w);
            break;
        case 1:
            x = satSub(offsetX_, w);
            break;
        case 2:
            y = satAdd(offsetY_, h);
            break;
        case 3:
            y = satSub(offsetY_, h);
            break;
        default:
            break;
        }
        place(rects_[1], x, y);
        rectCount_ = 2;
    }
}

bool Layer::isVisible() {
    if (image_ == nullptr) {
        visible_ = false;
        return false;
    }
    return visible_;
}

void Layer::draw(FrameBuffer* target, int32_t originX, int32_t originY, bool interlaced,
                 int32_t field) const {
    if (image_ == nullptr || target == nullptr || (blendMode_ != 0 && blendMode_ != 1))
        return;
    // Fades may carry an opacity outside 0 to 255; it is drawn clamped.
    const int32_t opacity = std::clamp(opacity_, 0, 255);
    const int32_t srcPitch = image_->width() * 4;
    for (int32_t i = 0; i < rectCount_; ++i) {
        const DrawRect& r = rects_[static_cast<size_t>(i)];
        const ClippedRect c = clipRect(satAdd(r.dstX, originX), satAdd(r.dstY, originY), r.width,
                                       r.height, target->width(), target->height());
        int32_t ey = c.srcY, dy = c.y, height = c.h;
        const int32_t ex = c.srcX, dx = c.x, width = c.w;
        if (interlaced && (dy & 1) != field) {
            ++dy;
            ++ey;
            --height;
        }
        if (width <= 0 || height <= 0)
            continue;
        const int32_t sx = r.srcX + ex;
        const int32_t sy = r.srcY + ey;
        if (blendMode_ == 0) {
            (interlaced ? copyRectField : copyRect)(target->pixels(), target->pitch(), dx, dy,
                                                    image_->pixels(), srcPitch, sx, sy, width,
                                                    height);
        } else {
            (interlaced ? blendRectField : blendRect)(target->pixels(), target->pitch(), dx, dy,
                                                      image_->pixels(), srcPitch, sx, sy, width,
                                                      height, opacity);
        }
    }
}

} // namespace kavelin
