#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace kavelin {

// A manual-reset event: once set, it stays signalled (and releases every waiter) until reset.
class Event {
public:
    explicit Event(bool signalled = false) : signalled_(signalled) {}

    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void set();
    void reset();
    // Blocks until the event is signalled.
    void wait();
    // Returns whether the event was signalled within the timeout.
    bool waitFor(std::chrono::milliseconds timeout);
    bool isSet() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool signalled_;
};

} // namespace kavelin
