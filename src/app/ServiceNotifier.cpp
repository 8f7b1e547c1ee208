#include "app/ServiceNotifier.h"

#include "engine/ThreadPriority.h"

#include <algorithm>
#include <cstdlib>
#include <systemd/sd-daemon.h>

namespace kavelin {

const char* Heartbeat::look(uint64_t frames) {
    if (frames == seen_)
        return nullptr;
    const bool first = seen_ == 0;
    seen_ = frames;
    return first ? "READY=1" : "WATCHDOG=1";
}

std::unique_ptr<ServiceNotifier> ServiceNotifier::fromEnvironment() {
    if (std::getenv("NOTIFY_SOCKET") == nullptr)
        return nullptr;
    std::chrono::microseconds interval = std::chrono::seconds(1);
    uint64_t watchdog = 0;
    if (sd_watchdog_enabled(0, &watchdog) > 0 && watchdog > 0)
        interval = std::min(interval, std::chrono::microseconds(watchdog / 2));
    return std::make_unique<ServiceNotifier>([](const char* message) { sd_notify(0, message); },
                                             interval);
}

ServiceNotifier::ServiceNotifier(Send send, std::chrono::microseconds interval)
    : send_(std::move(send)), interval_(interval), thread_([this] { run(); }) {}

ServiceNotifier::~ServiceNotifier() {
    join();
}

void ServiceNotifier::frameHandedOut() {
    if (frames_.fetch_add(1, std::memory_order_relaxed) != 0)
        return;
    // Under the lock, so that the wake-up cannot fall between the thread's look and its wait.
    std::lock_guard lock(mutex_);
    wake_.notify_all();
}

void ServiceNotifier::stopping() {
    join();
    send_("STOPPING=1");
}

void ServiceNotifier::join() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void ServiceNotifier::run() {
    yieldToFramePath();
    Heartbeat heartbeat;
    bool ready = false; // READY=1 is out
    std::unique_lock lock(mutex_);
    for (;;) {
        // Until READY=1 is out, the first frame's wake-up ends the wait; after it, only the
        // interval does.
        wake_.wait_for(lock, interval_, [&] {
            return stop_ || (!ready && frames_.load(std::memory_order_relaxed) > 0);
        });
        if (stop_)
            return;
        const char* message = heartbeat.look(frames_.load(std::memory_order_relaxed));
        if (message == nullptr)
            continue;
        ready = true;
        lock.unlock();
        send_(message);
        lock.lock();
    }
}

} // namespace kavelin
