#include "engine/Renderer.h"

#include "engine/CommandTable.h"
#include "engine/LogSink.h"
#include "image/FrameBuffer.h"
#include "image/PixelRoutines.h"
#include "image/SaturatingMath.h"
#include "layers/Layer.h"
#include "layers/LayerSet.h"
#include "text/FontSystem.h"
#include "text/SpriteFont.h"
#include "text/TrueTypeFont.h"

#include <algorithm>
#include <cstring>

namespace kavelin {

Renderer::Renderer(LogSink& log) : log_(log) {}

Renderer::~Renderer() {
    releaseAllLayerSets();
    for (auto& font : trueTypeFonts_)
        font.reset();
    if (fontSystemUp_)
        shutdownFontSystem();
}

bool Renderer::init(int32_t width, int32_t height, bool fill, Colour colour) {
    if (!initFontSystem()) {
        log_.log("ERROR initializing fonts...");
        return false;
    }
    fontSystemUp_ = true;
    for (auto& font : trueTypeFonts_)
        font = std::make_unique<TrueTypeFont>();
    framebuffer_ = FrameBuffer::create(width, height);
    if (!framebuffer_)
        return false;
    if (fill) {
        const uint32_t packed = uint32_t{colour.alpha} << 24 | uint32_t{colour.red} << 16 |
                                uint32_t{colour.green} << 8 | colour.blue;
        for (int32_t y = 0; y < framebuffer_->height(); ++y) {
            uint8_t* row = framebuffer_->pixels() + int64_t{y} * framebuffer_->pitch();
            for (int32_t x = 0; x < framebuffer_->width(); ++x)
                std::memcpy(row + x * 4, &packed, 4);
        }
    }
    clearRequested_ = true;
    return true;
}

bool Renderer::dispatch(Command& command) {
    return dispatchCommand(*this, log_, command);
}

void Renderer::renderFrame(FrameBuffer* target, bool interlaced, int32_t field) {
    for (int32_t s = 0; s < order_.count(); ++s) {
        const LayerSet& set = *order_.get(s);
        for (int32_t i = 0; i < set.count(); ++i)
            set.get(i)->update();
    }
    if (target == nullptr || !framebuffer_)
        return;
    // The background covers the whole frame; a target of another size takes what overlaps.
    const int32_t width = std::min(target->width(), framebuffer_->width());
    const int32_t height = std::min(target->height(), framebuffer_->height());
    copyFrame(*target, 0, 0, *framebuffer_, 0, 0, width, height, interlaced ? field : 2);
    for (int32_t s = 0; s < order_.count(); ++s) {
        const LayerSet& set = *order_.get(s);
        for (int32_t i = 0; i < set.count(); ++i) {
            Layer& layer = *set.get(i);
            if (layer.isVisible())
                layer.draw(target, satAdd(layer.posX(), set.x), satAdd(layer.posY(), set.y),
                           interlaced, field);
        }
    }
}

bool Renderer::clearFramebuffer() {
    clearRequested_ = true;
    log_.log("Framebuffer cleared.");
    return true;
}

bool Renderer::notAvailable(const char* operation) {
    log_.log("ERROR (%s) : Not available in this build.", operation);
    return false;
}

Layer* Renderer::layerOrLog(int32_t number) {
    Layer* layer = layers_.get(number);
    if (layer == nullptr)
        log_.log("ERROR : No layer found for number %d.", number);
    return layer;
}

bool Renderer::layerPairOrLog(int32_t first, int32_t second, Layer*& a, Layer*& b) {
    a = layers_.get(first);
    b = layers_.get(second);
    if (a != nullptr && b != nullptr)
        return true;
    log_.log("ERROR : No layer found for number %d.", a == nullptr ? first : second);
    return false;
}

} // namespace kavelin
