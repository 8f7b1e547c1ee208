#pragma once

#include "base/MemoryBudget.h"

namespace kavelin::test {

// The process's memory budget limited for a test, and restored after it.
class ScopedMemoryLimit {
public:
    explicit ScopedMemoryLimit(uint64_t limit) : saved_(MemoryBudget::process().limit()) {
        MemoryBudget::process().setLimit(limit);
    }
    ~ScopedMemoryLimit() { MemoryBudget::process().setLimit(saved_); }
    ScopedMemoryLimit(const ScopedMemoryLimit&) = delete;
    ScopedMemoryLimit& operator=(const ScopedMemoryLimit&) = delete;

    // Room for `bytes` more than what is in use now.
    static uint64_t roomFor(uint64_t bytes) { return MemoryBudget::process().used() + bytes; }

private:
    uint64_t saved_;
};

} // namespace kavelin::test
