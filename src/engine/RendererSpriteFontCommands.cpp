// Command handlers for sprite fonts: loading them and setting their text into layers.
#include "engine/LogSink.h"
#include "engine/Renderer.h"
#include "image/Image.h"
#include "layers/Layer.h"
#include "text/SpriteFont.h"

#include <string>

namespace kavelin {

SpriteFont* Renderer::spriteFont(int32_t number) const {
    return validFontNumber(number) ? spriteFonts_[size_t(number)].get() : nullptr;
}

bool Renderer::loadSpriteFont(int32_t number, const char* path, int32_t loadEffect,
                              int32_t fontOpacity, int32_t effectOpacity, int32_t colorizeFont,
                              int32_t fontRed, int32_t fontGreen, int32_t fontBlue,
                              int32_t colorizeEffect, int32_t effectRed, int32_t effectGreen,
                              int32_t effectBlue) {
    if (path == nullptr)
        path = "";
    log_.log("Loading spritefont %d : %s", number, path);
    if (!validFontNumber(number)) {
        log_.log("ERROR (loadSpriteFont) : Font number %d out of range.", number);
        return false;
    }
    std::unique_ptr<SpriteFont>& slot = spriteFonts_[size_t(number)];
    if (!slot)
        slot = std::make_unique<SpriteFont>();
    SpriteFont& font = *slot;
    if (!font.load(path, fontOpacity)) {
        log_.log("ERROR: Failed to load spritefont \"%s\".", path);
        return false;
    }
    log_.log("         - font file loaded.");
    // Failures from here on are reported but the font stays usable.
    if (loadEffect == 1) {
        if (font.loadEffect(effectOpacity))
            log_.log("         - effect file loaded.");
        else
            log_.log("Unable to load effect.");
    }
    if (colorizeFont == 1) {
        font.colorizeFont(fontRed, fontGreen, fontBlue);
        log_.log("         - font colorized.");
    }
    if (colorizeEffect == 1) {
        if (font.colorizeEffect(effectRed, effectGreen, effectBlue))
            log_.log("         - effect colorized.");
        else
            log_.log("Unable to colorize effect: no effect loaded!");
    }
    return true;
}

bool Renderer::initLayerText(bool fit, int32_t number, int32_t width, int32_t height,
                             int32_t fontNumber, const char* text, int32_t layoutMode,
                             int32_t caseMode, int32_t lineHeight) {
    const char* const name = fit ? "initLayer_text_fit" : "initLayer_text";
    Layer* layer = layerOrLog(number);
    if (layer == nullptr)
        return false;
    SpriteFont* font = spriteFont(fontNumber);
    if (!layer->initSize(width, height) || font == nullptr || layer->image() == nullptr) {
        log_.log("ERROR (%s) : init failed.", name);
        return false;
    }
    // The case conversion works on a copy: the command's text is not ours to change.
    std::string copy = text != nullptr ? text : "";
    const bool drawn =
        font->drawString(copy.data(), layer->image(), 0, 0, layoutMode, caseMode, lineHeight);
    if (fit) {
        int32_t w = 0, h = 0;
        font->lastTextSize(w, h);
        layer->image()->crop(0, 0, w, h);
    }
    if (!drawn) {
        log_.log("ERROR (%s) : init failed.", name);
        return false;
    }
    log_.log("%s : init successful.", name);
    return true;
}

bool Renderer::initLayer_text(int32_t layer, int32_t width, int32_t height, int32_t font,
                              const char* text, int32_t layoutMode, int32_t caseMode,
                              int32_t lineHeight) {
    return initLayerText(false, layer, width, height, font, text, layoutMode, caseMode, lineHeight);
}

bool Renderer::initLayer_text_fit(int32_t layer, int32_t width, int32_t height, int32_t font,
                                  const char* text, int32_t layoutMode, int32_t caseMode,
                                  int32_t lineHeight) {
    return initLayerText(true, layer, width, height, font, text, layoutMode, caseMode, lineHeight);
}

bool Renderer::drawText(int32_t number, int32_t x, int32_t y, int32_t fontNumber, const char* text,
                        int32_t layoutMode, int32_t caseMode, int32_t lineHeight) {
    Layer* layer = layerOrLog(number);
    if (layer == nullptr)
        return false;
    SpriteFont* font = spriteFont(fontNumber);
    std::string copy = text != nullptr ? text : "";
    if (layer->image() == nullptr || font == nullptr ||
        !font->drawString(copy.data(), layer->image(), x, y, layoutMode, caseMode, lineHeight)) {
        log_.log("ERROR (drawText) : operation failed.");
        return false;
    }
    log_.log("Text drawn to layer %d at (%d, %d)", number, x, y);
    return true;
}

bool Renderer::sf_lastTextSize(int32_t number, int32_t& width, int32_t& height) {
    if (!validFontNumber(number)) {
        log_.log("ERROR (sf_lastTextSize) : Font number %d out of range.", number);
        return false;
    }
    const SpriteFont* font = spriteFont(number);
    if (font == nullptr) {
        log_.log("ERROR (sf_lastTextSize) : Font %d does not exist!", number);
        return false;
    }
    font->lastTextSize(width, height);
    return true;
}

} // namespace kavelin
