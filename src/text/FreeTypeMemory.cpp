#include "text/FreeTypeMemory.h"

#include "base/MemoryBudget.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace kavelin {

namespace {

// Each block carries its size in front of it, since FreeType's free does not pass it.
constexpr size_t kHeader = alignof(std::max_align_t);
static_assert(kHeader >= sizeof(uint64_t));

uint64_t blockSize(void* block) {
    uint64_t size = 0;
    std::memcpy(&size, static_cast<char*>(block) - kHeader, sizeof size);
    return size;
}

void* place(void* raw, uint64_t size) {
    std::memcpy(raw, &size, sizeof size);
    return static_cast<char*>(raw) + kHeader;
}

void* allocate(FT_Memory, long size) {
    if (size <= 0)
        return nullptr;
    const uint64_t bytes = static_cast<uint64_t>(size);
    if (!MemoryBudget::process().take(bytes))
        return nullptr;
    void* raw = std::malloc(kHeader + bytes);
    if (raw == nullptr) {
        MemoryBudget::process().give(bytes);
        reportOutOfMemory();
        return nullptr;
    }
    return place(raw, bytes);
}

void release(FT_Memory, void* block) {
    if (block == nullptr)
        return;
    const uint64_t bytes = blockSize(block);
    std::free(static_cast<char*>(block) - kHeader);
    MemoryBudget::process().give(bytes);
}

// FreeType keeps the old block when a reallocation fails.
void* reallocate(FT_Memory memory, long, long newSize, void* block) {
    if (block == nullptr)
        return allocate(memory, newSize);
    if (newSize <= 0) {
        release(memory, block);
        return nullptr;
    }
    const uint64_t oldBytes = blockSize(block);
    const uint64_t newBytes = static_cast<uint64_t>(newSize);
    if (newBytes > oldBytes && !MemoryBudget::process().take(newBytes - oldBytes))
        return nullptr;
    void* raw = std::realloc(static_cast<char*>(block) - kHeader, kHeader + newBytes);
    if (raw == nullptr) {
        if (newBytes > oldBytes)
            MemoryBudget::process().give(newBytes - oldBytes);
        reportOutOfMemory();
        return nullptr;
    }
    if (newBytes < oldBytes)
        MemoryBudget::process().give(oldBytes - newBytes);
    return place(raw, newBytes);
}

FT_MemoryRec_ memoryRecord{nullptr, allocate, release, reallocate};

} // namespace

FT_Memory budgetedFreeTypeMemory() {
    return &memoryRecord;
}

} // namespace kavelin
