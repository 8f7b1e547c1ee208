#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>

namespace kavelin {

// How many command lines were executed, how many were answered ERROR and how long they took,
// as a histogram of durations. One thread at a time records (the command server's); any thread
// reads without holding it up.
class CommandStats {
public:
    // The upper bounds of the histogram's buckets in seconds; a last bucket takes the rest.
    static constexpr std::array<double, 12> kBounds = {0.0001, 0.0005, 0.001, 0.0025, 0.005, 0.01,
                                                       0.025,  0.05,   0.1,   0.25,   1,     5};

    struct Snapshot {
        uint64_t errors = 0;
        // Lines with a duration up to each bound, then all of them (cumulative).
        std::array<uint64_t, kBounds.size() + 1> buckets{};
        double seconds = 0; // all durations added up
        std::chrono::nanoseconds last{0};

        uint64_t count() const { return buckets.back(); }
        std::chrono::nanoseconds average() const;
    };

    // From one thread at a time only.
    void record(std::chrono::nanoseconds took, bool failed);
    Snapshot snapshot() const;

private:
    std::array<std::atomic<uint64_t>, kBounds.size() + 1> buckets_{}; // each its own, not summed
    std::atomic<int64_t> nanoseconds_{0};
    std::atomic<int64_t> last_{0};
    std::atomic<uint64_t> errors_{0};
};

} // namespace kavelin
