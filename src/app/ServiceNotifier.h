#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace kavelin {

// What the service manager is told after a look at the frames handed out: nothing until the
// first frame, READY=1 with it, then WATCHDOG=1 at each look that finds new frames. A clock
// that has stopped yields nothing, so the manager's watchdog runs out and restarts the server.
class Heartbeat {
public:
    // The message for this look, or none.
    const char* look(uint64_t frames);

private:
    uint64_t seen_ = 0;
};

// Tells a service manager (systemd) how the server does, through sd_notify: READY=1 once the
// first frame is out (the engine starts after the port listens), WATCHDOG=1 while frames keep
// coming, STOPPING=1 at shutdown. The frame path only counts its frames; the messages go out
// from a thread of its own, so a manager slow to read never holds up a frame.
class ServiceNotifier {
public:
    using Send = std::function<void(const char* message)>;

    // None when no manager listens (no NOTIFY_SOCKET). It looks once a second, or at half the
    // watchdog's time when that is shorter.
    static std::unique_ptr<ServiceNotifier> fromEnvironment();

    ServiceNotifier(Send send, std::chrono::microseconds interval);
    ~ServiceNotifier();
    ServiceNotifier(const ServiceNotifier&) = delete;
    ServiceNotifier& operator=(const ServiceNotifier&) = delete;

    // On the frame path after each frame: a count, and one wake-up for the first frame.
    void frameHandedOut();
    // STOPPING=1; nothing is sent after it.
    void stopping();

private:
    void run();
    void join();

    const Send send_;
    const std::chrono::microseconds interval_;
    std::atomic<uint64_t> frames_{0};
    std::mutex mutex_; // guards stop_; never held while sending
    std::condition_variable wake_;
    bool stop_ = false;
    std::thread thread_;
};

} // namespace kavelin
