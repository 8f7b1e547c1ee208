// Command handlers for layer sets, the stacking order, and creating layers inside sets.
#include "engine/LogSink.h"
#include "engine/Renderer.h"
#include "layers/Layer.h"
#include "layers/LayerSet.h"

#include <memory>

namespace kavelin {

int32_t Renderer::createLayerSet() {
    auto set = std::make_unique<LayerSet>();
    const int32_t number = sets_.add(set.get());
    order_.append(set.release());
    return number;
}

int32_t Renderer::createLayer(int32_t setNumber) {
    LayerSet* set = sets_.get(setNumber);
    if (set == nullptr) {
        log_.log("ERROR (createLayer): Invalid layer set number (%d)", setNumber);
        return -1;
    }
    auto layer = std::make_unique<Layer>();
    set->append(layer.get());
    const int32_t number = layers_.add(layer.get());
    layer.release()->setNumber(number);
    return number;
}

bool Renderer::releaseLayerSet(int32_t number) {
    LayerSet* set = sets_.take(number);
    if (set == nullptr) {
        log_.log("ERROR (releaseLayerSet): Invalid layer set number (%d)", number);
        return false;
    }
    order_.remove(set);
    while (!set->isEmpty()) {
        Layer* layer = set->removeAt(0);
        layers_.take(layer->number());
        delete layer;
    }
    delete set;
    log_.log("Layer set %d released.", number);
    return true;
}

bool Renderer::releaseAllLayerSets() {
    for (int32_t i = 0; i < layers_.capacity(); ++i)
        delete layers_.get(i);
    layers_.clear();
    for (int32_t i = 0; i < sets_.capacity(); ++i)
        delete sets_.get(i);
    sets_.clear();
    order_.clear();
    return true;
}

bool Renderer::setLayerSetPosition(int32_t number, int32_t x, int32_t y) {
    LayerSet* set = sets_.get(number);
    if (set == nullptr) {
        log_.log("ERROR (setLayerSetPosition): Invalid layer set number (%d)", number);
        return false;
    }
    set->x = x;
    set->y = y;
    return true;
}

bool Renderer::layerSetSendBackward(int32_t number) {
    LayerSet* set = sets_.get(number);
    if (set == nullptr) {
        log_.log("ERROR (layerSetSendBackward): Invalid layer set number (%d)", number);
        return false;
    }
    const int32_t i = order_.indexOf(set);
    if (i >= order_.count() - 1)
        return true;
    order_.removeAt(i);
    order_.insertAt(i + 1, set);
    return true;
}

bool Renderer::layerSetBringForward(int32_t number) {
    LayerSet* set = sets_.get(number);
    if (set == nullptr) {
        log_.log("ERROR (layerSetBringForward): Invalid layer set number (%d)", number);
        return false;
    }
    const int32_t i = order_.indexOf(set);
    if (i < 1)
        return true;
    order_.removeAt(i);
    order_.insertAt(i - 1, set);
    return true;
}

} // namespace kavelin
