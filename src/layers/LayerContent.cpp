// Loading content into a layer: blank images, TGA files, sequences, and copies of other layers.
#include "layers/Layer.h"

#include "image/Image.h"
#include "image/TgaFile.h"
#include "image/SaturatingMath.h"

namespace kavelin {

bool Layer::initSize(int32_t width, int32_t height) {
    reset();
    frames_[0] = std::make_unique<Image>();
    windowWidth_ = width;
    windowHeight_ = height;
    image_ = frames_[0].get();
    return image_->allocate(width, height);
}

bool Layer::initTga(const char* fileName) {
    reset();
    frames_[0] = std::make_unique<Image>();
    Image& frame = *frames_[0];
    TgaFile reader;
    TgaInfo info;
    if (!reader.open(fileName) || !reader.readHeader(info) ||
        !frame.allocate(info.width, info.height))
        return false;
    image_ = &frame;
    if (!reader.readPixels(frame))
        return false;
    windowWidth_ = info.width;
    windowHeight_ = info.height;
    return true;
}

bool Layer::beginSequence() {
    reset();
    frameCount_ = 0;
    frameIndex_ = 0;
    return true;
}

Image* Layer::addFrame(int32_t width, int32_t height) {
    if (frameCount_ >= kMaxFrames)
        return nullptr;
    auto& slot = frames_[static_cast<size_t>(frameCount_)];
    slot = std::make_unique<Image>();
    image_ = frames_[0].get();
    if (!slot->allocate(width, height))
        return nullptr;
    ++frameCount_;
    return slot.get();
}

bool Layer::fitWindowToImage() {
    if (image_ == nullptr)
        return false;
    windowWidth_ = image_->width();
    windowHeight_ = image_->height();
    return true;
}

bool Layer::copyFrom(const Layer& source) {
    if (source.image_ == nullptr)
        return false;
    return copyRegionFrom(source, 0, 0, source.image_->width(), source.image_->height());
}

bool Layer::copyRegionFrom(const Layer& source, int32_t x, int32_t y, int32_t w, int32_t h) {
    if (image_ == nullptr || source.image_ == nullptr)
        return false;
    // Drawing copies the region first, so the source may be this very image.
    image_->drawImage(source.image_, x, y, w, h);
    if (image_->growsToFit()) {
        const auto anchor = image_->cursorAnchor();
        if (anchor.x < 0)
            offsetX_ = satAdd(offsetX_, anchor.x);
        if (anchor.y < 0)
            offsetY_ = satAdd(offsetY_, anchor.y);
    }
    return true;
}

} // namespace kavelin
