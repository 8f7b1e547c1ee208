#include "engine/SteppedFrameClock.h"

namespace kavelin {

bool SteppedFrameClock::start(FrameRate rate, TickHandler onTick) {
    if (onTick_ || rate.numerator <= 0 || rate.denominator <= 0)
        return false;
    rate_ = rate;
    onTick_ = std::move(onTick);
    origin_ = now_.load();
    next_ = 1;
    return true;
}

int64_t SteppedFrameClock::advance(std::chrono::nanoseconds by) {
    now_.store(now_.load() + by);
    int64_t ran = 0;
    while (onTick_ && origin_ + rate_.timeOf(next_) <= now_.load()) {
        const SteadyClock::time_point deadline = origin_ + rate_.timeOf(next_);
        onTick_({next_, deadline, deadline + lateness_, 0, false});
        ++next_;
        ++ran;
    }
    return ran;
}

int64_t SteppedFrameClock::step(int64_t frames) {
    if (!onTick_ || frames <= 0)
        return 0;
    const SteadyClock::time_point target = origin_ + rate_.timeOf(next_ + frames - 1);
    return advance(target - now_.load());
}

} // namespace kavelin
