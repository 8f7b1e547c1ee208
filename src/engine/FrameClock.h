#pragma once

#include "engine/Format.h"

#include <chrono>
#include <cstdint>
#include <functional>

namespace kavelin {

using SteadyClock = std::chrono::steady_clock;

// One beat of the frame clock: frame number n (from 1) falls due at start + rate.timeOf(n).
struct Tick {
    int64_t frame = 0;
    SteadyClock::time_point deadline;
    // When the tick began; later than the deadline when the clock was held up.
    SteadyClock::time_point now;
    // Frames whose deadlines passed while the previous tick still ran: skipped, not made up.
    int64_t skipped = 0;
    // False for a clock stepped by hand: the time the machine takes to run the tick is no part
    // of its time line.
    bool realTime = true;
};

// What paces the frames. The engine's real clock follows the steady clock on a thread of its
// own; tests step a clock by hand and see exactly which frames fall due.
class FrameClock {
public:
    using TickHandler = std::function<void(const Tick&)>;

    virtual ~FrameClock() = default;
    // Ticks begin one period after the call; onTick is never run twice at the same time. False
    // when the clock runs already or cannot start.
    virtual bool start(FrameRate rate, TickHandler onTick) = 0;
    // Once this returns no tick runs and none will. Not to be called from inside a tick.
    virtual void stop() = 0;
    // The time on the clock's time line (a stepped clock's is not the steady clock's); any
    // thread may ask.
    virtual SteadyClock::time_point now() const { return SteadyClock::now(); }
};

} // namespace kavelin
