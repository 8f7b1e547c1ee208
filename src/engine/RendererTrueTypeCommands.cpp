#include "engine/LogSink.h"
#include "engine/Renderer.h"
#include "image/Image.h"
#include "layers/Layer.h"
#include "text/DropShadowEffect.h"
#include "text/FontNumbers.h"
#include "text/TrueTypeFont.h"
#include "text/VerticalSmoothEffect.h"

#include <memory>
#include <utility>

namespace kavelin {

namespace {

uint8_t lowByte(int32_t value) {
    return static_cast<uint8_t>(value & 0xFF);
}

} // namespace

TrueTypeFont* Renderer::trueTypeFont(int32_t number) const {
    return validFontNumber(number) ? trueTypeFonts_[static_cast<size_t>(number)].get() : nullptr;
}

bool Renderer::loadFont(int32_t font, const char* face, int32_t height, bool bold, bool italic,
                        int32_t charset, int32_t direction) {
    if (!validFontNumber(font)) {
        log_.log("ERROR (loadFont) : Font number %d out of range.", font);
        return false;
    }
    TrueTypeFont* ttf = trueTypeFont(font);
    if (ttf == nullptr || !ttf->load(face, height, bold, italic, direction, charset)) {
        log_.log("ERROR (loadFont) : Loading failed.");
        return false;
    }
    log_.log("Font %s loaded, size %d", ttf->faceName().c_str(), ttf->height());
    return true;
}

bool Renderer::addFontEffect(int32_t font, int32_t kind, const FontEffectValues& v) {
    if (!validFontNumber(font)) {
        log_.log("ERROR (addFontEffect) : Font number %d out of range.", font);
        return false;
    }
    std::unique_ptr<FontEffect> effect;
    if (kind == 0)
        effect = std::make_unique<DropShadowEffect>(v.angle, v.distance, v.mode, lowByte(v.red),
                                                    lowByte(v.green), lowByte(v.blue),
                                                    lowByte(v.opacity));
    else if (kind == 3)
        effect = std::make_unique<VerticalSmoothEffect>();
    TrueTypeFont* ttf = trueTypeFont(font);
    if (ttf == nullptr || !ttf->addEffect(std::move(effect))) {
        log_.log("ERROR (addFontEffect) : Operation failed.");
        return false;
    }
    log_.log("Added effect to font %d", font);
    return true;
}

bool Renderer::drawText(int32_t number, int32_t x, int32_t y, int32_t font, Utf16Text text,
                        uint32_t colour, bool wrap, int32_t lineSpacing) {
    Layer* layer = layerOrLog(number);
    if (layer == nullptr)
        return false;
    Image* image = layer->image();
    if (image == nullptr) {
        log_.log("ERROR (drawText) : Destination layer (nr. %d) has no image!", number);
        return false;
    }
    TrueTypeFont* ttf = trueTypeFont(font);
    if (ttf == nullptr || !ttf->renderText(image->pixels(), image->width(), image->height(), x, y,
                                           text.units(), colour, wrap, lineSpacing)) {
        log_.log("ERROR (drawText) : Failed to draw text.");
        return false;
    }
    int32_t width = 0, height = 0;
    ttf->lastTextSize(width, height);
    log_.log("Text drawn to layer %d at (%d, %d), size %d x %d.", number, x, y, width, height);
    return true;
}

bool Renderer::tt_lastTextSize(int32_t font, int32_t& width, int32_t& height) {
    if (!validFontNumber(font)) {
        log_.log("ERROR (tt_lastTextSize) : Font number %d out of range.", font);
        return false;
    }
    const TrueTypeFont* ttf = trueTypeFont(font);
    if (ttf == nullptr) {
        log_.log("ERROR (tt_lastTextSize) : Font %d does not exist!", font);
        return false;
    }
    ttf->lastTextSize(width, height);
    return true;
}

bool Renderer::tt_lastTextLines(int32_t font, int32_t& lines) {
    if (!validFontNumber(font)) {
        log_.log("ERROR (tt_lastTextLines) : Font number %d out of range.", font);
        return false;
    }
    const TrueTypeFont* ttf = trueTypeFont(font);
    if (ttf == nullptr) {
        log_.log("ERROR (tt_lastTextLines) : Font %d does not exist!", font);
        return false;
    }
    lines = ttf->lastTextLines();
    return true;
}

bool Renderer::tt_getTextSize(int32_t font, Utf16Text text, int32_t& width, int32_t& height) {
    if (!validFontNumber(font)) {
        log_.log("ERROR (tt_getTextSize) : Font number %d out of range.", font);
        return false;
    }
    TrueTypeFont* ttf = trueTypeFont(font);
    if (ttf == nullptr) {
        log_.log("ERROR (tt_getTextSize) : Font %d does not exist!", font);
        return false;
    }
    if (!ttf->measureText(text.units(), width, height))
        return false;
    log_.log("Got text size: %d x %d pixels.", width, height);
    return true;
}

} // namespace kavelin
