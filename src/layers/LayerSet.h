#pragma once

#include "base/MemoryBudget.h"
#include "layers/Layer.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace kavelin {

// A numbered group of layers, in creation order, with a position added to theirs when drawn.
struct LayerSet {
    int32_t number = 0;
    int32_t x = 0;
    int32_t y = 0;
    std::vector<std::unique_ptr<Layer>> layers;
    BudgetShare share; // what the set itself counts against the memory budget
};

} // namespace kavelin
