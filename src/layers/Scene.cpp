#include "layers/Scene.h"

#include <algorithm>

namespace kavelin {

namespace {

// Makes room for one more element beforehand, growing as push_back would, so that the
// push_back after the number is handed out cannot fail.
template <typename T>
void roomForOne(std::vector<T>& list) {
    if (list.size() == list.capacity())
        list.reserve(std::max<size_t>(8, list.capacity() * 2));
}

} // namespace

int32_t Scene::createSet() {
    BudgetShare share;
    if (!share.grow(kSetShare))
        return -1;
    auto set = std::make_unique<LayerSet>();
    set->share = std::move(share);
    roomForOne(order_);
    set->number = sets_.add(set.get());
    if (set->number < 0)
        return -1;
    order_.push_back(std::move(set));
    return order_.back()->number;
}

int32_t Scene::createLayer(int32_t setNumber) {
    LayerSet* set = sets_.get(setNumber);
    if (set == nullptr)
        return -1;
    BudgetShare share;
    if (!share.grow(kLayerShare))
        return -1;
    auto layer = std::make_unique<Layer>(0);
    layer->holdShare(std::move(share));
    roomForOne(set->layers);
    const int32_t number = layers_.add(layer.get());
    if (number < 0)
        return -1;
    layer->setNumber(number);
    set->layers.push_back(std::move(layer));
    return number;
}

std::unique_ptr<LayerSet> Scene::releaseSet(int32_t number) {
    LayerSet* set = sets_.take(number);
    if (set == nullptr)
        return nullptr;
    for (const auto& layer : set->layers)
        layers_.take(layer->number());
    const auto it = std::find_if(order_.begin(), order_.end(),
                                 [set](const auto& entry) { return entry.get() == set; });
    std::unique_ptr<LayerSet> released = std::move(*it);
    order_.erase(it);
    return released;
}

std::vector<std::unique_ptr<LayerSet>> Scene::releaseAll() {
    layers_.clear();
    sets_.clear();
    std::vector<std::unique_ptr<LayerSet>> released;
    released.swap(order_);
    return released;
}

bool Scene::sendBackward(int32_t number) {
    LayerSet* set = sets_.get(number);
    if (set == nullptr)
        return false;
    const auto it = std::find_if(order_.begin(), order_.end(),
                                 [set](const auto& entry) { return entry.get() == set; });
    if (it + 1 != order_.end())
        std::iter_swap(it, it + 1);
    return true;
}

bool Scene::bringForward(int32_t number) {
    LayerSet* set = sets_.get(number);
    if (set == nullptr)
        return false;
    const auto it = std::find_if(order_.begin(), order_.end(),
                                 [set](const auto& entry) { return entry.get() == set; });
    if (it != order_.begin())
        std::iter_swap(it, it - 1);
    return true;
}

void Scene::advance() {
    forEachLayer([](Layer& layer, const LayerSet&) { layer.update(); });
}

void Scene::collect(DrawList& list) {
    size_t used = 0;
    forEachLayer([&](Layer& layer, const LayerSet& set) {
        if (used == list.size())
            list.emplace_back();
        if (layer.drawItem(set.x, set.y, list[used]))
            ++used;
    });
    list.resize(used); // keeps its memory for the next frame
}

} // namespace kavelin
