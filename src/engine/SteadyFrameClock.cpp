#include "engine/SteadyFrameClock.h"

#include "engine/ThreadPriority.h"

#include <algorithm>
#include <system_error>

namespace kavelin {

SteadyFrameClock::~SteadyFrameClock() {
    stop();
}

bool SteadyFrameClock::start(FrameRate rate, TickHandler onTick) {
    if (thread_.joinable() || rate.numerator <= 0 || rate.denominator <= 0)
        return false;
    {
        std::lock_guard lock(mutex_);
        stopping_ = false;
    }
    try {
        thread_ =
            std::thread(&SteadyFrameClock::run, this, SteadyClock::now(), rate, std::move(onTick));
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void SteadyFrameClock::stop() {
    if (!thread_.joinable())
        return;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void SteadyFrameClock::run(SteadyClock::time_point origin, FrameRate rate, TickHandler onTick) {
    raiseForFramePath();
    int64_t frame = 1;
    int64_t skipped = 0;
    std::unique_lock lock(mutex_);
    for (;;) {
        const SteadyClock::time_point deadline = origin + rate.timeOf(frame);
        const auto ahead = std::min<std::chrono::nanoseconds>(kComposeAhead, rate.period() / 4);
        if (wake_.wait_until(lock, deadline - ahead, [this] { return stopping_; }))
            return;
        lock.unlock();
        onTick({frame, deadline, SteadyClock::now(), skipped});
        lock.lock();
        if (stopping_)
            return;
        // The next deadline still to come; the ones that passed meanwhile are skipped.
        const SteadyClock::time_point now = SteadyClock::now();
        const int64_t next = frame + 1;
        frame = next;
        while (origin + rate.timeOf(frame) <= now)
            ++frame;
        skipped = frame - next;
    }
}

} // namespace kavelin
