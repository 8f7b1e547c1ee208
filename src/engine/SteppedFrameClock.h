#pragma once

#include "engine/FrameClock.h"

#include <atomic>

namespace kavelin {

// A clock that only moves when told to: each tick that falls due runs on the caller's thread.
// Time starts at a fixed point and moves by exactly the amounts given.
class SteppedFrameClock : public FrameClock {
public:
    bool start(FrameRate rate, TickHandler onTick) override;
    void stop() override { onTick_ = nullptr; }

    // Moves time on and runs every tick whose deadline has come; returns how many ran.
    int64_t advance(std::chrono::nanoseconds by);
    // Runs the next `frames` ticks, moving time to the deadline of the last one.
    int64_t step(int64_t frames = 1);
    // From now on each tick begins this much after its deadline (a held-up frame path).
    void setLateness(std::chrono::nanoseconds lateness) { lateness_ = lateness; }

    SteadyClock::time_point now() const override { return now_.load(); }

private:
    FrameRate rate_;
    TickHandler onTick_;
    SteadyClock::time_point origin_{std::chrono::hours(1)};
    std::atomic<SteadyClock::time_point> now_{origin_}; // read by health checks
    int64_t next_ = 1;
    std::chrono::nanoseconds lateness_{0};
};

} // namespace kavelin
