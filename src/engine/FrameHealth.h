#pragma once

#include "engine/FrameClock.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

namespace kavelin {

// Whether frames go out on time, for a health check: judged from when the last frame and the
// last late frame were handed out, on the frame clock's time line. The frame path marks each
// frame with a few stores; any thread may judge without holding it up.
class FrameHealth {
public:
    // A late frame keeps the verdict at "not on time" for this long after it.
    static constexpr std::chrono::seconds kLateWindow{5};
    // No frame for this many periods is "not on time": the clock has stalled.
    static constexpr int kMissingPeriods = 5;

    explicit FrameHealth(std::chrono::nanoseconds period) : period_(period) {}

    // The frame path: a frame was handed out at `at`, `late` after the moment it was allowed
    // (zero when it was on time).
    void frameOut(SteadyClock::time_point at, std::chrono::nanoseconds late);

    // Empty while frames are on time; otherwise why not, in one line.
    std::string judge(SteadyClock::time_point now) const;

private:
    static constexpr int64_t kNever = INT64_MIN;

    const std::chrono::nanoseconds period_;
    std::atomic<int64_t> lastFrame_{kNever}; // nanoseconds of the clock's time line
    std::atomic<int64_t> lastLate_{kNever};
    std::atomic<int64_t> lateBy_{0};
};

} // namespace kavelin
