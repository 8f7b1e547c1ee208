#include "engine/FrameHealth.h"

#include <cstdio>

namespace kavelin {

namespace {

int64_t ticksOf(SteadyClock::time_point at) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(at.time_since_epoch()).count();
}

double seconds(int64_t nanoseconds) {
    return static_cast<double>(nanoseconds) / 1e9;
}

} // namespace

void FrameHealth::frameOut(SteadyClock::time_point at, std::chrono::nanoseconds late) {
    const int64_t when = ticksOf(at);
    if (late > std::chrono::nanoseconds::zero()) {
        lateBy_.store(late.count(), std::memory_order_relaxed);
        lastLate_.store(when, std::memory_order_relaxed);
    }
    lastFrame_.store(when, std::memory_order_relaxed);
}

std::string FrameHealth::judge(SteadyClock::time_point now) const {
    const int64_t at = ticksOf(now);
    const int64_t frame = lastFrame_.load(std::memory_order_relaxed);
    const int64_t late = lastLate_.load(std::memory_order_relaxed);
    char reason[160];
    if (frame == kNever)
        return "no frame handed out yet";
    // A frame stamped after `now` (a stepped clock's lateness) counts as just now.
    if (at - frame > kMissingPeriods * period_.count()) {
        std::snprintf(reason, sizeof reason, "no frame for %.3f s (a frame is due every %.3f s)",
                      seconds(at - frame), seconds(period_.count()));
        return reason;
    }
    if (late != kNever && at - late < std::chrono::nanoseconds(kLateWindow).count()) {
        std::snprintf(reason, sizeof reason,
                      "a frame went out %.3f s late %.1f s ago (a period is %.3f s)",
                      seconds(lateBy_.load(std::memory_order_relaxed)),
                      seconds(std::max<int64_t>(at - late, 0)), seconds(period_.count()));
        return reason;
    }
    return {};
}

} // namespace kavelin
