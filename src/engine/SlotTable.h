#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <new>
#include <vector>

namespace kavelin {

// Gives each stored object a number, its slot index; `add` reuses the lowest free number.
// A full table grows by the grow step, or doubles when the step is 0 or less. The table
// never owns or deletes what it holds.
template <typename T>
class SlotTable {
public:
    explicit SlotTable(int32_t capacity = 20, int32_t growStep = 0)
        : slots_(static_cast<size_t>(capacity > 0 ? capacity : 0), nullptr), growStep_(growStep) {}
    virtual ~SlotTable() = default;

    SlotTable(const SlotTable&) = delete;
    SlotTable& operator=(const SlotTable&) = delete;

    // The number given to the object, or -1 when the table cannot grow (or no object is given).
    int32_t add(T* object) {
        if (object == nullptr)
            return -1;
        const int32_t count = capacity();
        for (int32_t i = 0; i < count; ++i) {
            if (slots_[static_cast<size_t>(i)] == nullptr) {
                slots_[static_cast<size_t>(i)] = object;
                return i;
            }
        }
        if (!grow())
            return -1;
        slots_[static_cast<size_t>(count)] = object;
        return count;
    }

    // None for a number outside the table and for an empty slot.
    T* get(int32_t number) const {
        if (number < 0 || number >= capacity())
            return nullptr;
        return slots_[static_cast<size_t>(number)];
    }

    // As `get`, and the slot becomes empty.
    T* take(int32_t number) {
        if (number < 0 || number >= capacity())
            return nullptr;
        T* object = slots_[static_cast<size_t>(number)];
        slots_[static_cast<size_t>(number)] = nullptr;
        return object;
    }

    int32_t capacity() const { return static_cast<int32_t>(slots_.size()); }

    void clear() {
        for (T*& slot : slots_)
            slot = nullptr;
    }

private:
    bool grow() {
        const int64_t old = capacity();
        int64_t next = growStep_ > 0 ? old + growStep_ : old * 2;
        if (next <= old)
            next = old + 1; // a table constructed with capacity 0
        if (next > std::numeric_limits<int32_t>::max())
            return false;
        try {
            slots_.resize(static_cast<size_t>(next), nullptr);
        } catch (const std::bad_alloc&) {
            return false;
        }
        return true;
    }

    std::vector<T*> slots_;
    int32_t growStep_;
};

} // namespace kavelin
