#pragma once

#include "commands/CommandRow.h"
#include "engine/LogSink.h"
#include "engine/SharedScene.h"

namespace kavelin {

// The layer with that number, or none after logging "ERROR : No layer found for number %d.".
Layer* findLayer(const Scene& scene, LogSink& log, int32_t number);
// Both layers, or false after logging the first number that names no layer.
bool findLayers(const Scene& scene, LogSink& log, int32_t first, int32_t second, Layer*& a,
                Layer*& b);

// True when the layer exists; false after logging. For commands that check before costly work.
bool layerExists(CommandContext& context, int32_t number);

// Runs f(layer, access) on the layer under the scene's lock; false, after logging, without
// such a layer.
template <typename F>
bool withLayer(CommandContext& context, int32_t number, F&& f) {
    SharedScene::Access scene = context.scene.forCommand();
    Layer* layer = findLayer(*scene, context.log, number);
    if (layer == nullptr)
        return false;
    f(*layer, scene);
    return true;
}

} // namespace kavelin
