#include "engine/SceneLock.h"

namespace kavelin {

std::chrono::nanoseconds SceneLock::lockForFrame() {
    const auto start = std::chrono::steady_clock::now();
    frameWaiting_.store(true);
    mutex_.lock();
    {
        std::lock_guard gate(gateMutex_);
        frameWaiting_.store(false);
    }
    gate_.notify_all();
    return std::chrono::steady_clock::now() - start;
}

void SceneLock::lockForCommand() {
    if (frameWaiting_.load()) {
        std::unique_lock gate(gateMutex_);
        gate_.wait(gate, [this] { return !frameWaiting_.load(); });
    }
    mutex_.lock();
}

} // namespace kavelin
