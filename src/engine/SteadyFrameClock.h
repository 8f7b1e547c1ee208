#pragma once

#include "engine/FrameClock.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace kavelin {

// Ticks on absolute deadlines of the steady clock, on a thread of its own. A deadline that has
// passed when the previous tick returns is skipped (and counted), never bunched.
//
// Each tick begins a little ahead of its deadline, so that the frame is composed by the time it
// falls due: waking a thread on a busy machine takes a millisecond or two, and composing one
// more.
class SteadyFrameClock : public FrameClock {
public:
    static constexpr std::chrono::microseconds kComposeAhead{2000};

    SteadyFrameClock() = default;
    ~SteadyFrameClock() override;

    bool start(FrameRate rate, TickHandler onTick) override;
    void stop() override;

private:
    void run(SteadyClock::time_point origin, FrameRate rate, TickHandler onTick);

    std::mutex mutex_; // guards stopping_
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread thread_;
};

} // namespace kavelin
