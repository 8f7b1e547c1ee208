#pragma once

#include "engine/PointerList.h"

#include <cstdint>

namespace kavelin {

class Layer;

// A numbered group of layers, in creation order, with a position added to theirs when drawn.
// It does not own its layers; the renderer deletes them when the set is released.
class LayerSet : public PointerList<Layer> {
public:
    LayerSet() : PointerList<Layer>(20, 0) {}

    int32_t x = 0;
    int32_t y = 0;
};

} // namespace kavelin
