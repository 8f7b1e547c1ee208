// Command handlers that act on single layers: content, geometry, attributes and animations.
#include "engine/LogSink.h"
#include "engine/Renderer.h"
#include "image/Image.h"
#include "image/TgaFile.h"
#include "layers/Layer.h"

#include <cstdio>

namespace kavelin {

bool Renderer::resetLayer(int32_t number) {
    Layer* layer = layerOrLog(number);
    if (layer == nullptr)
        return false;
    layer->reset();
    log_.log("Layer %d reseted.", number);
    return true;
}

bool Renderer::clearLayer(int32_t number) {
    Layer* layer = layerOrLog(number);
    if (layer == nullptr)
        return false;
    if (!layer->clearImage()) {
        log_.log("ERROR (clearLayer) : Failed to clear layer %d.", number);
        return false;
    }
    log_.log("Layer %d cleared.", number);
    return true;
}

bool Renderer::clearAllLayers() {
    for (int32_t i = 0; i < layers_.capacity(); ++i)
        if (Layer* layer = layers_.get(i))
            layer->clearImage();
    log_.log("All layers cleared.");
    return true;
}

bool Renderer::initLayer_size(int32_t number, int32_t width, int32_t height) {
    Layer* layer = layerOrLog(number);
    if (layer == nullptr)
        return false;
    if (!layer->initSize(width, height)) {
        log_.log("ERROR (initLayer_size) : init failed.");
        return false;
    }
    log_.log("Layer %d initialized to %d x %d", number, width, height);
    return true;
}

bool Renderer::initLayer_tga(int32_t number, const char* path) {
    Layer* layer = layerOrLog(number);
    if (layer == nullptr)
        return false;
    if (!layer->initTga(path)) {
        log_.log("ERROR (initLayer_tga) : init failed. (%s)", path);
        return false;
    }
    log_.log("Layer %d initialized. (tga)", number);
    return true;
}

bool Renderer::initLayer_tgaSequence(int32_t number, const char* prefix, int32_t first,
                                     int32_t last) {
    Layer* layer = layerOrLog(number);
    if (layer == nullptr)
        return false;
    TgaFile reader;
    log_.log("Layer %d Loading tga sequence %s", number, prefix);
    layer->beginSequence();
    int32_t n = first;
    bool error = false;
    for (;;) {
        // Names that do not fit 259 characters are treated as files that cannot be opened.
        char name[260];
        const int length = std::snprintf(name, sizeof name, "%s%04d.tga", prefix, n);
        if (length < 0 || length >= static_cast<int>(sizeof name) || !reader.open(name)) {
            log_.log("ERROR : Failed to open file %s", name);
            error = true;
            break;
        }
        TgaInfo info;
        if (!reader.readHeader(info)) {
            log_.log("ERROR : Failed to read file %s", name);
            error = true;
            break;
        }
        Image* frame = layer->addFrame(info.width, info.height);
        if (frame == nullptr) {
            error = true;
            break;
        }
        if (!reader.readPixels(*frame)) {
            log_.log("ERROR : Failed to get image data from %s", name);
            error = true;
            break;
        }
        if (n >= last)
            break;
        ++n;
    }
    reader.close();
    layer->fitWindowToImage();
    if (!error) {
        log_.log("Layer %d initialized. (sequence)", number);
        return true;
    }
    if (n == first) {
        log_.log("ERROR (initLayer_tgaSequence) : Failed to load frames.");
        return false;
    }
    log_.log("WARNING (initLayer_tgaSequence) : Only the frames %d - %d loaded.", first, n - 1);
    return true;
}

bool Renderer::copyLayer(int32_t destination, int32_t source) {
    Layer* dst = layers_.get(destination);
    Layer* src = layers_.get(source);
    if (dst == nullptr || src == nullptr) {
        log_.log("ERROR : No layer found for number %d.", dst == nullptr ? destination : source);
        return false;
    }
    const bool ok = dst->copyFrom(*src);
    log_.log("Layer %d copied to layer %d.", source, destination);
    return ok;
}

bool Renderer::copyLayerRegion(int32_t destination, int32_t source, int32_t x, int32_t y,
                               int32_t width, int32_t height) {
    Layer* dst = layers_.get(destination);
    Layer* src = layers_.get(source);
    if (dst == nullptr || src == nullptr) {
        log_.log("ERROR : No layer found for number %d.", dst == nullptr ? destination : source);
        return false;
    }
    return dst->copyRegionFrom(*src, x, y, width, height);
}

bool Renderer::setLayerPosition(int32_t number, int32_t x, int32_t y) {
    Layer* layer = layerOrLog(number);
    if (layer == nullptr)
        return false;
    layer->setPosition(x, y);
    log_.log("Layer %d position set to (%d, %d)", number, x, y);
    return true;
}

bool Renderer::setLayerSize(int32_t number, int32_t width, int32_t height) {
    Layer* layer = layerOrLog(number);
    if (layer == nullptr)
        return false;
    if (!layer->setSize(width, height)) {
        log_.log("ERROR (setLayerSize) : Operation failed.");
        return false;
    }
    log_.log("Layer %d size set to %d x %d", number, width, height);
    return true;
}

bool Renderer::setLayerImageOffset(int32_t number, int32_t x, int32_t y) {
    Layer* layer = layerOrLog(number);
    if (layer == nullptr)
        return false;
    return layer->setImageOffset(x, y);
}

bool Renderer::cropLayerImage(int32_t number) {
    Layer* layer = layerOrLog(number);
    if (layer == nullptr)
        return false;
    if (!layer->cropToWindow()) {
        log_.log("ERROR (cropLayerImage) : Crop failed.");
        return false;
    }
    log_.log("Layer %d image cropped.", number);
    return true;
}

bool Renderer::cropLayerImage(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height) {
    if (width < 1 || height < 1) {
        log_.log("ERROR (cropLayerImage) : invalid dimensions. (%d x %d)", width, height);
        return false;
    }
    Layer* layer = layerOrLog(number);
    if (layer == nullptr)
        return false;
    if (!layer->cropImage(x, y, width, height)) {
        log_.log("ERROR (cropLayerImage) : Crop failed.");
        return false;
    }
    log_.log("Layer %d image cropped to %dx%d.", number, width, height);
    return true;
}

bool Renderer::setLayerCursor(int32_t number, int32_t cursorX, int32_t cursorY, int32_t alignX,
                              int32_t alignY, int32_t growToFit, int32_t drawKind, int32_t drawMode,
                              int32_t drawValue) {
    Layer* layer = layerOrLog(number);
    if (layer == nullptr)
        return false;
    if (layer->image() == nullptr) {
        log_.log("ERROR (setLayerCursor) : Operation failed.");
        return false;
    }
    layer->image()->setCursor(cursorX, cursorY, alignX, alignY, growToFit, drawKind, drawMode,
                              drawValue);
    log_.log("Layer %d cursor set.", number);
    return true;
}

bool Renderer::setLayerCursor_coordinates(int32_t number, int32_t cursorX, int32_t cursorY,
                                          int32_t alignX, int32_t alignY) {
    Layer* layer = layerOrLog(number);
    if (layer == nullptr)
        return false;
    if (layer->image() == nullptr) {
        log_.log("ERROR (setLayerCursor_coordinates) : failed.");
        return false;
    }
    layer->image()->setCursorPosition(cursorX, cursorY, alignX, alignY);
    log_.log("Layer %d cursor set to coordinates (%d, %d).", number, cursorX, cursorY);
    return true;
}

bool Renderer::getLayerImageSize(int32_t number, int32_t& width, int32_t& height) {
    Layer* layer = layers_.get(number);
    if (layer == nullptr) {
        log_.log("ERROR (getLayerImageSize) : No layer found for number %d.", number);
        return false;
    }
    if (layer->image() == nullptr) {
        log_.log("ERROR (getLayerImageSize) : Layer %d has no image.", number);
        return false;
    }
    width = layer->image()->width();
    height = layer->image()->height();
    return true;
}

bool Renderer::setLayerBlending(int32_t number, int32_t mode, int32_t opacity) {
    Layer* layer = layerOrLog(number);
    if (layer == nullptr)
        return false;
    if (opacity < 0 || opacity > 255) {
        log_.log("ERROR (setLayerBlending) : Opacity value %d out of range.", opacity);
        return false;
    }
    return layer->setBlending(mode, opacity);
}

bool Renderer::showLayer(int32_t number) {
    Layer* layer = layerOrLog(number);
    if (layer == nullptr)
        return false;
    layer->show();
    log_.log("Layer %d set visible.", number);
    return true;
}

bool Renderer::hideLayer(int32_t number) {
    Layer* layer = layerOrLog(number);
    if (layer == nullptr)
        return false;
    layer->hide();
    log_.log("Layer %d hidden.", number);
    return true;
}

bool Renderer::toggleLayers(int32_t first, int32_t second) {
    Layer* a = layers_.get(first);
    Layer* b = layers_.get(second);
    if (a == nullptr || b == nullptr) {
        log_.log("ERROR : No layer found for number %d.", a == nullptr ? first : second);
        return false;
    }
    if (a->isVisible()) {
        b->show();
        a->hide();
    } else {
        a->show();
        b->hide();
    }
    return true;
}

} // namespace kavelin
