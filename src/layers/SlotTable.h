#pragma once

// Numbers handed out to clients: a new object gets the lowest free number, and a full table
// doubles its size.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

namespace kavelin {

// Maps numbers to objects owned elsewhere.
template <typename T>
class SlotTable {
public:
    explicit SlotTable(int32_t capacity = 20) : slots_(static_cast<size_t>(capacity), nullptr) {}

    // The number given to the object, or -1 when the table cannot grow (or no object is given).
    int32_t add(T* object) {
        if (object == nullptr)
            return -1;
        const size_t count = slots_.size();
        for (size_t i = 0; i < count; ++i) {
            if (slots_[i] == nullptr) {
                slots_[i] = object;
                return static_cast<int32_t>(i);
            }
        }
        const size_t grown = count == 0 ? 1 : count * 2;
        if (grown > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
            return -1;
        slots_.resize(grown, nullptr);
        slots_[count] = object;
        return static_cast<int32_t>(count);
    }

    // None for a number outside the table and for an empty slot.
    T* get(int32_t number) const {
        if (number < 0 || static_cast<size_t>(number) >= slots_.size())
            return nullptr;
        return slots_[static_cast<size_t>(number)];
    }

    // As `get`, and the slot becomes empty.
    T* take(int32_t number) {
        T* object = get(number);
        if (object != nullptr)
            slots_[static_cast<size_t>(number)] = nullptr;
        return object;
    }

    int32_t capacity() const { return static_cast<int32_t>(slots_.size()); }

    void clear() { slots_.assign(slots_.size(), nullptr); }

private:
    std::vector<T*> slots_;
};

} // namespace kavelin
