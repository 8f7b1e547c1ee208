#pragma once

#include "layers/DrawItem.h"
#include "layers/LayerSet.h"
#include "layers/SlotTable.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace kavelin {

// Everything the picture is made of: the layer sets in their stacking order (the first is drawn
// first, later ones cover it) and the layers inside them, each found by its number. Not
// thread-safe: commands and the frame path reach it under the scene's lock.
class Scene {
public:
    Scene() = default;
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    Layer* findLayer(int32_t number) const { return layers_.get(number); }
    LayerSet* findSet(int32_t number) const { return sets_.get(number); }
    // Sets in drawing order.
    const std::vector<std::unique_ptr<LayerSet>>& sets() const { return order_; }

    // What each set and each layer counts against the memory budget, besides its pictures:
    // the object and its entries in the tables and lists that hold it.
    static constexpr uint64_t kSetShare = sizeof(LayerSet) + 256;
    static constexpr uint64_t kLayerShare = sizeof(Layer) + 256;

    // A new set on top of the others; its number, or -1 (also when the memory budget has no
    // room for it).
    int32_t createSet();
    // A new, empty layer at the end of the set; its number, or -1 without such a set or room
    // in the memory budget. Both leave the scene as it was when memory runs out.
    int32_t createLayer(int32_t set);
    // The set and its layers leave the scene and their numbers are free again; the caller
    // decides when they are destroyed. None without such a set.
    [[nodiscard]] std::unique_ptr<LayerSet> releaseSet(int32_t set);
    // Every set and layer leaves the scene.
    [[nodiscard]] std::vector<std::unique_ptr<LayerSet>> releaseAll();
    // One place later in the drawing order (covering the next), or earlier; false without such a
    // set.
    bool sendBackward(int32_t set);
    bool bringForward(int32_t set);

    // Calls f for every layer, in drawing order.
    template <typename F>
    void forEachLayer(F&& f) const {
        for (const auto& set : order_)
            for (const auto& layer : set->layers)
                f(*layer, *set);
    }

    // The frame step: every layer's animations advance by one step.
    void advance();
    // Replaces the list's items with what the visible layers draw, in drawing order. Reuses
    // the list's memory.
    void collect(DrawList& list);

private:
    SlotTable<Layer> layers_;
    SlotTable<LayerSet> sets_;
    std::vector<std::unique_ptr<LayerSet>> order_;
};

} // namespace kavelin
