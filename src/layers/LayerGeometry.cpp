// Where a layer's window sits, how large it is, where its image sits inside it, how it blends.
#include "layers/Layer.h"

#include "image/Image.h"
#include "image/PixelRoutines.h"
#include "image/SaturatingMath.h"

namespace kavelin {

bool Layer::setPosition(int32_t x, int32_t y) {
    posX_ = x;
    posY_ = y;
    return true;
}

bool Layer::setSize(int32_t width, int32_t height) {
    if (width < 0 || height < 0)
        return false;
    windowWidth_ = width;
    windowHeight_ = height;
    return true;
}

bool Layer::setImageOffset(int32_t x, int32_t y) {
    offsetX_ = x;
    offsetY_ = y;
    return true;
}

bool Layer::cropToWindow() {
    if (image_ == nullptr)
        return false;
    const ClippedRect c = clipRect(offsetX_, offsetY_, image_->width(), image_->height(),
                                   windowWidth_, windowHeight_);
    offsetX_ = c.x;
    offsetY_ = c.y;
    image_->crop(c.srcX, c.srcY, c.w, c.h);
    return true;
}

bool Layer::cropImage(int32_t x, int32_t y, int32_t w, int32_t h) {
    if (image_ == nullptr)
        return false;
    image_->crop(satSub(x, offsetX_), satSub(y, offsetY_), w, h);
    offsetX_ = x;
    offsetY_ = y;
    return true;
}

bool Layer::setBlending(int32_t mode, int32_t opacity) {
    if (opacity < 0 || opacity > 255)
        return false;
    blendMode_ = mode;
    opacity_ = opacity;
    return true;
}

void Layer::show() {
    if (image_ != nullptr)
        visible_ = true;
}

} // namespace kavelin
