#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace kavelin {

// The lock between commands and the frame path, fair to the frame path: while a frame waits
// for it, no new command section may start, so a flood of commands holds a frame back by one
// short section at most.
class SceneLock {
public:
    // Returns how long the frame path waited.
    std::chrono::nanoseconds lockForFrame();
    void lockForCommand();
    void unlock() { mutex_.unlock(); }
    // True while the frame path waits for the lock.
    bool frameWaiting() const { return frameWaiting_.load(); }

private:
    std::mutex mutex_;
    std::atomic<bool> frameWaiting_{false};
    std::mutex gateMutex_; // orders the clearing of frameWaiting_ with the commands' wait
    std::condition_variable gate_;
};

} // namespace kavelin
