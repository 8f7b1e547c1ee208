#include "commands/LayerLookup.h"

namespace kavelin {

Layer* findLayer(const Scene& scene, LogSink& log, int32_t number) {
    Layer* layer = scene.findLayer(number);
    if (layer == nullptr)
        log.log("ERROR : No layer found for number %d.", number);
    return layer;
}

bool findLayers(const Scene& scene, LogSink& log, int32_t first, int32_t second, Layer*& a,
                Layer*& b) {
    a = scene.findLayer(first);
    b = scene.findLayer(second);
    if (a != nullptr && b != nullptr)
        return true;
    log.log("ERROR : No layer found for number %d.", a == nullptr ? first : second);
    return false;
}

bool layerExists(CommandContext& context, int32_t number) {
    return findLayer(*context.scene.forCommand(), context.log, number) != nullptr;
}

} // namespace kavelin
