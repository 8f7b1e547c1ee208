#pragma once

// One budget for the memory that clients can make the program hold: pictures, frames, layers,
// layer sets and fonts. A request that would pass the limit is refused before the memory is
// taken, so a client cannot push the machine into swapping or the process into an abort.

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kavelin {

class MemoryBudget {
public:
    // Half of the machine's physical memory (1 GiB when it cannot be read).
    static uint64_t defaultLimit();

    // The budget of the process; its limit starts at defaultLimit().
    static MemoryBudget& process();

    explicit MemoryBudget(uint64_t limit) : limit_(limit) {}
    MemoryBudget(const MemoryBudget&) = delete;
    MemoryBudget& operator=(const MemoryBudget&) = delete;

    uint64_t limit() const { return limit_.load(std::memory_order_relaxed); }
    // A lower limit than what is in use refuses every request until enough is given back.
    void setLimit(uint64_t bytes) { limit_.store(bytes, std::memory_order_relaxed); }
    uint64_t used() const { return used_.load(std::memory_order_relaxed); }

    // Counts the bytes as in use; false, counting nothing, when they would pass the limit.
    // A refusal is reported to the thread's MemoryWatch unless `quiet` (for callers that
    // have a way out, such as a cache that can start over).
    [[nodiscard]] bool take(uint64_t bytes, bool quiet = false);
    void give(uint64_t bytes) { used_.fetch_sub(bytes, std::memory_order_relaxed); }

private:
    std::atomic<uint64_t> limit_;
    std::atomic<uint64_t> used_{0};
};

// Bytes counted against the process's budget for as long as the share lives.
class BudgetShare {
public:
    BudgetShare() = default;
    ~BudgetShare() { reset(); }
    BudgetShare(BudgetShare&& other) noexcept : bytes_(other.bytes_) { other.bytes_ = 0; }
    BudgetShare& operator=(BudgetShare&& other) noexcept {
        if (this != &other) {
            reset();
            bytes_ = other.bytes_;
            other.bytes_ = 0;
        }
        return *this;
    }

    // Adds bytes to the share; false, changing nothing, when the budget has no room for them.
    [[nodiscard]] bool grow(uint64_t bytes, bool quiet = false) {
        if (!MemoryBudget::process().take(bytes, quiet))
            return false;
        bytes_ += bytes;
        return true;
    }
    // Gives every byte back.
    void reset() {
        if (bytes_ != 0)
            MemoryBudget::process().give(bytes_);
        bytes_ = 0;
    }
    uint64_t bytes() const { return bytes_; }

private:
    uint64_t bytes_ = 0;
};

// Hears of the memory troubles of the thread that creates it, for as long as it lives: a
// command being executed, which says so in the log and answers ERROR. Watches nest; the
// innermost one hears. The handlers run where the trouble happened, possibly inside a C
// library's allocator: they must not throw.
class MemoryWatch {
public:
    MemoryWatch();
    virtual ~MemoryWatch();
    MemoryWatch(const MemoryWatch&) = delete;
    MemoryWatch& operator=(const MemoryWatch&) = delete;

    bool overBudget() const { return overBudget_; }
    bool outOfMemory() const { return outOfMemory_; }

    // The memory budget refused a request (at the first refusal only).
    virtual void onOverBudget(uint64_t limit) = 0;
    // Memory the budget allowed was not granted (the first time only).
    virtual void onOutOfMemory() = 0;

private:
    friend class MemoryBudget;
    friend void reportOutOfMemory();

    MemoryWatch* outer_;
    bool overBudget_ = false;
    bool outOfMemory_ = false;
};

// Tells the thread's MemoryWatch that an allocation failed.
void reportOutOfMemory();

// "512M", "4G", "65536K", "1T" (binary units, either case) or plain bytes; none when malformed,
// zero or beyond 64 bits.
std::optional<uint64_t> parseMemorySize(std::string_view text);
// "512 MiB", "4 GiB", "1.5 GiB", "300 bytes": the largest unit the size reaches, with one
// decimal when it is not a whole number of them.
std::string formatMemorySize(uint64_t bytes);

} // namespace kavelin
