#include "commands/CommandStats.h"

#include <algorithm>

namespace kavelin {

std::chrono::nanoseconds CommandStats::Snapshot::average() const {
    const uint64_t n = count();
    return std::chrono::nanoseconds(
        n == 0 ? 0 : static_cast<int64_t>(seconds * 1e9 / static_cast<double>(n)));
}

void CommandStats::record(std::chrono::nanoseconds took, bool failed) {
    const double seconds = std::chrono::duration<double>(took).count();
    const size_t bucket = static_cast<size_t>(
        std::lower_bound(kBounds.begin(), kBounds.end(), seconds) - kBounds.begin());
    // One thread records: plain loads and stores, no locked instructions on every line.
    const auto add = [](auto& counter, auto amount, std::memory_order order) {
        counter.store(counter.load(std::memory_order_relaxed) + amount, order);
    };
    add(nanoseconds_, took.count(), std::memory_order_relaxed);
    last_.store(took.count(), std::memory_order_relaxed);
    add(buckets_[bucket], uint64_t{1}, std::memory_order_relaxed);
    // Released after the bucket, so that a reader never sees more errors than lines.
    if (failed)
        add(errors_, uint64_t{1}, std::memory_order_release);
}

CommandStats::Snapshot CommandStats::snapshot() const {
    Snapshot s;
    s.errors = errors_.load(std::memory_order_acquire);
    uint64_t total = 0;
    for (size_t i = 0; i < buckets_.size(); ++i)
        s.buckets[i] = total += buckets_[i].load(std::memory_order_relaxed);
    s.seconds = static_cast<double>(nanoseconds_.load(std::memory_order_relaxed)) / 1e9;
    s.last = std::chrono::nanoseconds(last_.load(std::memory_order_relaxed));
    return s;
}

} // namespace kavelin
