#include "engine/FrameTimer.h"

#include <system_error>

namespace kavelin {

namespace {

// The timer whose tick the current thread is running, if any.
thread_local const FrameTimer* currentTimer = nullptr;

} // namespace

FrameTimer::~FrameTimer() {
    stop();
}

bool FrameTimer::onTimerThread() const {
    return currentTimer == this;
}

bool FrameTimer::start(uint32_t periodMs, bool oneShot) {
    if (periodMs == 0 || onTimerThread())
        return false;
    std::lock_guard control(control_);
    if (thread_.joinable()) {
        {
            std::lock_guard lock(mutex_);
            if (!finished_)
                return false;
        }
        // A one-shot timer that has fired, or a timer stopped from its own tick.
        thread_.join();
    }
    {
        std::lock_guard lock(mutex_);
        stopRequested_ = false;
        finished_ = false;
    }
    const Clock::duration period = std::chrono::milliseconds(periodMs);
    try {
        thread_ = std::thread(&FrameTimer::run, this, Clock::now(), period, oneShot);
    } catch (const std::system_error&) {
        std::lock_guard lock(mutex_);
        finished_ = true;
        return false;
    }
    return true;
}

bool FrameTimer::stop() {
    if (onTimerThread()) {
        std::lock_guard lock(mutex_);
        stopRequested_ = true;
        return true;
    }
    std::lock_guard control(control_);
    if (!thread_.joinable())
        return true;
    {
        std::lock_guard lock(mutex_);
        stopRequested_ = true;
    }
    wake_.notify_all();
    thread_.join();
    return true;
}

void FrameTimer::run(Clock::time_point origin, Clock::duration period, bool oneShot) {
    currentTimer = this;
    Clock::time_point deadline = origin + period;
    std::unique_lock lock(mutex_);
    for (;;) {
        if (wake_.wait_until(lock, deadline, [this] { return stopRequested_; }))
            break;
        lock.unlock();
        tick();
        lock.lock();
        if (oneShot || stopRequested_)
            break;
        deadline += period;
        const Clock::time_point now = Clock::now();
        if (deadline <= now)
            deadline += ((now - deadline) / period + 1) * period;
    }
    finished_ = true;
    currentTimer = nullptr;
}

} // namespace kavelin
