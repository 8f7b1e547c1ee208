#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace kavelin {

// A periodic (or one-shot) clock that calls `tick` on a thread of its own.
//
// Ticks fall on absolute deadlines start + k x period of the steady clock, so they do not
// drift. A deadline that has already passed when the previous tick returns is skipped, not
// made up for: a late tick never makes the next ones bunch up.
//
// A class that overrides `tick` must call `stop` in its own destructor: the base destructor
// stops the timer too, but by then the derived part is gone.
class FrameTimer {
public:
    FrameTimer() = default;
    virtual ~FrameTimer();

    FrameTimer(const FrameTimer&) = delete;
    FrameTimer& operator=(const FrameTimer&) = delete;

    // The first tick comes one period after the call. False for a period of 0, while the
    // timer is running, or when its thread cannot be created.
    bool start(uint32_t periodMs, bool oneShot);
    // Once `stop` has returned no tick is running and none will start; a tick in progress
    // is waited for. Called from inside `tick`, it ends the timer after that tick without
    // waiting for it (the caller is that tick) and returns true as well.
    bool stop();

protected:
    // Runs on the timer's thread, never twice at the same time. The base does nothing.
    virtual void tick() {}

private:
    using Clock = std::chrono::steady_clock;

    void run(Clock::time_point origin, Clock::duration period, bool oneShot);
    bool onTimerThread() const;

    std::mutex control_; // serialises start, stop and destruction from other threads
    std::mutex mutex_;   // guards the two flags below
    std::condition_variable wake_;
    bool stopRequested_ = false;
    bool finished_ = true;
    std::thread thread_;
};

} // namespace kavelin
