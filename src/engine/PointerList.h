#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <new>
#include <vector>

namespace kavelin {

// An ordered list of object references; objects are compared by identity. A full list grows
// by the grow step, or doubles when the step is 0 or less. The list never owns or deletes
// what it holds.
template <typename T>
class PointerList {
public:
    explicit PointerList(int32_t capacity = 20, int32_t growStep = 0)
        : capacity_(capacity > 0 ? capacity : 0), growStep_(growStep) {
        items_.reserve(static_cast<size_t>(capacity_));
    }
    virtual ~PointerList() = default;

    PointerList(const PointerList&) = delete;
    PointerList& operator=(const PointerList&) = delete;

    // False for a position below 0 or above count, or when the list cannot grow.
    bool insertAt(int32_t position, T* object) {
        if (position < 0 || position > count())
            return false;
        if (count() == capacity_ && !grow())
            return false;
        items_.insert(items_.begin() + position, object);
        return true;
    }

    bool append(T* object) { return insertAt(count(), object); }

    // None for a position outside 0 to count - 1.
    T* get(int32_t position) const {
        if (position < 0 || position >= count())
            return nullptr;
        return items_[static_cast<size_t>(position)];
    }

    // The removed item; none (and no change) for a position outside the list.
    T* removeAt(int32_t position) {
        if (position < 0 || position >= count())
            return nullptr;
        T* object = items_[static_cast<size_t>(position)];
        items_.erase(items_.begin() + position);
        return object;
    }

    // Position of the first occurrence of this very object, or -1.
    int32_t indexOf(const T* object) const {
        for (size_t i = 0; i < items_.size(); ++i) {
            if (items_[i] == object)
                return static_cast<int32_t>(i);
        }
        return -1;
    }

    bool remove(const T* object) {
        const int32_t position = indexOf(object);
        if (position < 0)
            return false;
        removeAt(position);
        return true;
    }

    bool isEmpty() const { return items_.empty(); }
    int32_t count() const { return static_cast<int32_t>(items_.size()); }
    int32_t capacity() const { return capacity_; }
    void clear() { items_.clear(); }

private:
    bool grow() {
        const int64_t old = capacity_;
        int64_t next = growStep_ > 0 ? old + growStep_ : old * 2;
        if (next <= old)
            next = old + 1; // a list constructed with capacity 0
        if (next > std::numeric_limits<int32_t>::max())
            return false;
        try {
            items_.reserve(static_cast<size_t>(next));
        } catch (const std::bad_alloc&) {
            return false;
        }
        capacity_ = static_cast<int32_t>(next);
        return true;
    }

    std::vector<T*> items_;
    int32_t capacity_;
    int32_t growStep_;
};

} // namespace kavelin
