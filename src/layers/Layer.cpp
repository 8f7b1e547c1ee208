#include "layers/Layer.h"

#include "image/PixelRoutines.h"
#include "image/SaturatingMath.h"

#include <algorithm>

namespace kavelin {

const std::shared_ptr<const Image>& Layer::imageRef() const {
    static const std::shared_ptr<const Image> none;
    return current_ < 0 ? none : frames_[size_t(current_)].image;
}

Image* Layer::privatePicture() {
    if (visible_ || current_ < 0)
        return nullptr;
    const std::shared_ptr<const Image>& picture = frames_[size_t(current_)].image;
    // Made by a command as a mutable Image and only ever shared as const.
    return picture.use_count() == 1 ? const_cast<Image*>(picture.get()) : nullptr;
}

LayerFrames Layer::reset() {
    LayerFrames old;
    old.swap(frames_);
    current_ = -1;
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
    return old;
}

LayerFrames Layer::setFrames(std::vector<std::shared_ptr<const Image>> pictures, int32_t counted,
                             bool showFirst) {
    // Built aside first: running out of memory here leaves the layer as it was.
    LayerFrames fresh;
    fresh.reserve(pictures.size());
    for (auto& picture : pictures)
        fresh.push_back({std::move(picture), DrawCursor{}});
    LayerFrames old = reset();
    frames_ = std::move(fresh);
    frameCount_ = counted;
    current_ = showFirst && !frames_.empty() ? 0 : -1;
    return old;
}

std::shared_ptr<const Image> Layer::replaceImage(int32_t slot, std::shared_ptr<const Image> image) {
    if (slot < 0 || size_t(slot) >= frames_.size())
        return image;
    frames_[size_t(slot)].image.swap(image);
    return image;
}

void Layer::setWindow(int32_t width, int32_t height) {
    windowWidth_ = width;
    windowHeight_ = height;
}

bool Layer::fitWindowToImage() {
    const Image* picture = image();
    if (picture == nullptr)
        return false;
    setWindow(picture->width(), picture->height());
    return true;
}

bool Layer::clearImage(std::shared_ptr<const Image> empty) {
    if (current_ < 0)
        return false;
    frames_[size_t(current_)].image = std::move(empty);
    return true;
}

void Layer::update() {
    if (!visible_ || image() == nullptr)
        return;
    sequenceStep();
    scrollerStep();
    fadeStep();
    computeDrawRects();
}

void Layer::computeDrawRects() {
    const int32_t w = image()->width();
    const int32_t h = image()->height();
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
    if (image() == nullptr) {
        visible_ = false;
        return false;
    }
    return visible_;
}

bool Layer::drawItem(int32_t setX, int32_t setY, DrawItem& item) {
    if (!isVisible() || (blendMode_ != 0 && blendMode_ != 1))
        return false;
    item.image = imageRef();
    item.rects = rects_;
    item.rectCount = rectCount_;
    item.originX = satAdd(posX_, setX);
    item.originY = satAdd(posY_, setY);
    // Fades may carry an opacity outside 0 to 255; it is drawn clamped.
    item.opacity = std::clamp(opacity_, 0, 255);
    item.copy = blendMode_ == 0;
    return true;
}

} // namespace kavelin
