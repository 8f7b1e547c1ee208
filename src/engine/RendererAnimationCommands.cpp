// Command handlers that start, stop and steer the per-frame animations of layers.
#include "engine/LogSink.h"
#include "engine/Renderer.h"
#include "layers/Layer.h"
#include "image/SaturatingMath.h"

namespace kavelin {

bool Renderer::setSequenceFrame(int32_t number, int32_t index) {
    Layer* layer = layerOrLog(number);
    if (layer == nullptr)
        return false;
    const bool ok = layer->setFrame(index);
    log_.log("Layer %d sequence set to frame %d.", number, index);
    return ok;
}

bool Renderer::sequencePlay(int32_t number, int32_t direction) {
    Layer* layer = layerOrLog(number);
    if (layer == nullptr)
        return false;
    if (!layer->playSequence(direction)) {
        log_.log("ERROR (sequencePlay) : Operation failed.");
        return false;
    }
    log_.log("Playing sequence on layer %d.", number);
    return true;
}

bool Renderer::sequencePlayRange(int32_t number, int32_t direction, int32_t first, int32_t last) {
    Layer* layer = layerOrLog(number);
    if (layer == nullptr)
        return false;
    const bool ok = layer->playSequenceRange(direction, first, last);
    log_.log("Playing sequence on layer %d. (frames %d to %d)", number, first, last);
    return ok;
}

bool Renderer::setupScroller(int32_t number, int32_t direction, int32_t startMode, int32_t endMode,
                             int32_t loopMode, int32_t speed) {
    Layer* layer = layerOrLog(number);
    if (layer == nullptr)
        return false;
    if (!layer->setupScroller(direction, startMode, endMode, loopMode, speed)) {
        log_.log("ERROR (setupScroller) : Setup failed.");
        return false;
    }
    log_.log("Layer %d scroller setup done.", number);
    return true;
}

bool Renderer::scrollerPlay(int32_t number) {
    Layer* layer = layerOrLog(number);
    if (layer == nullptr)
        return false;
    const bool ok = layer->scrollerPlay();
    log_.log("Layer %d scroller playing.", number);
    return ok;
}

bool Renderer::scrollerPlay_n(int32_t number, int32_t count) {
    Layer* layer = layerOrLog(number);
    if (layer == nullptr)
        return false;
    if (count < 0) {
        log_.log("ERROR (scrollerPlay_n) : Illegal pixel count %d.", count);
        return false;
    }
    const bool ok = layer->scrollerPlayPixels(count);
    log_.log("Layer %d scroller playing for %d pixels.", number, count);
    return ok;
}

bool Renderer::scrollerPlayEx_n(int32_t number, int32_t direction, int32_t speed, int32_t count) {
    Layer* layer = layerOrLog(number);
    if (layer == nullptr)
        return false;
    if (speed < 1) {
        log_.log("ERROR (scrollerPlayEx_n) : Illegal speed %d.", speed);
        return false;
    }
    if (count < 0) {
        log_.log("ERROR (scrollerPlayEx_n) : Illegal pixel count %d.", count);
        return false;
    }
    const bool ok = layer->scrollerPlayEx(direction, speed, count);
    log_.log("Layer %d scrolling for %d pixels, to direction %d, at speed %d.", number, count,
             direction, speed);
    return ok;
}

bool Renderer::scrollerPlayPair(int32_t first, int32_t second) {
    Layer* a = layers_.get(first);
    Layer* b = layers_.get(second);
    if (a == nullptr || b == nullptr) {
        log_.log("ERROR : No layer found for number %d.", a == nullptr ? first : second);
        return false;
    }
    a->scrollerPlay();
    b->scrollerPlay();
    log_.log("Scrollers started on layers %d and %d.", first, second);
    return true;
}

bool Renderer::scrollerStop(int32_t number) {
    Layer* layer = layerOrLog(number);
    return layer != nullptr && layer->scrollerStop();
}

bool Renderer::scrollerRewind(int32_t number) {
    Layer* layer = layerOrLog(number);
    return layer != nullptr && layer->scrollerRewind();
}

bool Renderer::scrollerIsPlaying(int32_t number, bool& playing) {
    Layer* layer = layerOrLog(number);
    if (layer == nullptr)
        return false;
    playing = layer->scrollerIsPlaying();
    return true;
}

bool Renderer::fadeLayer(int32_t number, int32_t target, int32_t duration) {
    Layer* layer = layerOrLog(number);
    if (layer == nullptr)
        return false;
    if (!layer->fadeTo(target, satAdd(duration, duration))) {
        log_.log("ERROR (fadeLayer) : fade failed!");
        return false;
    }
    log_.log("Layer %d fading to %d in %d frames.", number, target, duration);
    return true;
}

bool Renderer::crossFadeLayers(int32_t first, int32_t second, int32_t duration) {
    Layer* a = layers_.get(first);
    Layer* b = layers_.get(second);
    if (a == nullptr || b == nullptr) {
        log_.log("ERROR : No layer found for number %d.", a == nullptr ? first : second);
        return false;
    }
    if (duration < 0) {
        log_.log("ERROR (crossFadeLayers) : invalid frame count %d.", duration);
        return false;
    }
    const int32_t opacityA = a->opacity();
    const int32_t opacityB = b->opacity();
    const int32_t steps = satAdd(duration, duration);
    const bool fadedA = a->fadeTo(opacityB, steps);
    const bool fadedB = b->fadeTo(opacityA, steps);
    if (!fadedA || !fadedB) {
        log_.log("ERROR (crossFadeLayers) : Crossfade failed!");
        return false;
    }
    log_.log("Layers %d and %d crossfading in %d frames.", first, second, duration);
    return true;
}

} // namespace kavelin
