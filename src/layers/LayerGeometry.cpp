// Where a layer's window sits, how large it is, where its picture sits inside it, how it blends.
#include "layers/Layer.h"

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
    setWindow(width, height);
    return true;
}

bool Layer::setImageOffset(int32_t x, int32_t y) {
    offsetX_ = x;
    offsetY_ = y;
    return true;
}

void Layer::moveImageOffset(int32_t dx, int32_t dy) {
    offsetX_ = satAdd(offsetX_, dx);
    offsetY_ = satAdd(offsetY_, dy);
}

bool Layer::setBlending(int32_t mode, int32_t opacity) {
    if (opacity < 0 || opacity > 255)
        return false;
    blendMode_ = mode;
    opacity_ = opacity;
    return true;
}

void Layer::show() {
    if (image() != nullptr)
        visible_ = true;
}

} // namespace kavelin
